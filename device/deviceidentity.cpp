#include "device/deviceidentity.h"

#include "device/searchpacket.h"

namespace {

// The lowest rated currents a recognised device reports, in counts; 50 only at scale 1.
constexpr quint16 kRatedLowA = 10, kRatedLowB = 84, kRatedLowScaleOne = 50;
// Its highest rated current is always ten times the lowest.
constexpr quint16 kRatedSpan = 10;

} // namespace

DeviceInfo DeviceIdentity::recognise(const SearchPacket &answer)
{
    const quint16 scale = answer.currentScale();
    const quint16 low = answer.minRatedCounts();
    const bool lowKnown = low == kRatedLowA || low == kRatedLowB || (low == kRatedLowScaleOne && scale == 1);
    DeviceInfo d;
    if (!lowKnown || answer.maxRatedCounts() != kRatedSpan * low) {
        d.kind = DeviceInfo::Unknown;
        return d;
    }
    d.kind = DeviceInfo::Recognised;
    d.currentScale = scale;
    d.modification = answer.modification();
    // A scale of 0 would give infinite currents; the raw scale is kept and the currents read 0.
    if (scale != 0) {
        d.minRatedCurrent = float(low) / float(scale);
        d.maxRatedCurrent = float(kRatedSpan * low) / float(scale);
    }
    return d;
}

bool DeviceIdentity::sameDevice(const SearchPacket &answer, const DeviceInfo &expected)
{
    // Products in extended precision from the integer word and the stored float, truncated.
    const long double scale = answer.currentScale();
    const auto counts = [scale](float amps) { return qint64(scale * (long double)amps + 0.5L); };
    return answer.modification() == expected.modification && answer.currentScale() == expected.currentScale
        && answer.maxRatedCounts() == counts(expected.maxRatedCurrent)
        && answer.minRatedCounts() == counts(expected.minRatedCurrent);
}

bool DeviceIdentity::sameModel(const DeviceInfo &a, const DeviceInfo &b)
{
    return a.modification == b.modification && a.currentScale == b.currentScale;
}
