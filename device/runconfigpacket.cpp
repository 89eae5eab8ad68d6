#include "device/runconfigpacket.h"

#include "device/devicelog.h"
#include "device/registermap.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr double kSecondsPerTimeUnit = 0.01;
constexpr double kZeroTimeShown = 0.001; // the lowest value of the time axis

} // namespace

// From 1.12 on each level is about 1.12 times the one before; 1.1 and 1.12 both occur.
const double RunConfigPacket::kCurrentLevels[kLevels] = {
    0.1,  0.2,  0.3,  0.4,  0.5,  0.6,  0.7,  0.8,  0.9,  1.0,  1.1,  1.12, 1.26, 1.41, 1.58, 1.77,
    1.98, 2.22, 2.49, 2.79, 3.13, 3.51, 3.94, 4.41, 4.95, 5.54, 6.22, 6.97, 7.81, 8.75, 9.81, 11.0};

RunConfigPacket::RunConfigPacket(int currentScale)
    : scale(currentScale)
{
    addRequest(words, sizeof words, RegisterMap::StartCharacteristic);
}

RunConfigPacket::RunConfigPacket(const RunConfigPacket &other)
    : RunConfigPacket(other.scale)
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

RunConfigPacket *RunConfigPacket::clone() const
{
    return new RunConfigPacket(*this);
}

double RunConfigPacket::baseCurrent() const
{
    if (scale == 0) {
        qCDebug(lcDevice) << "current scale is 0; start base current" << baseCurrentRaw() << "shown as 0";
        return 0.0;
    }
    return double(baseCurrentRaw()) / double(scale);
}

quint16 RunConfigPacket::timeWord(int level) const
{
    return level >= 0 && level < kLevels ? words[kHeaderWords + level] : 0;
}

CurvePoints RunConfigPacket::characteristic() const
{
    CurvePoints points;
    const double base = baseCurrent();
    for (int i = 0; i < kLevels; ++i) {
        const double seconds = timeWord(i) * kSecondsPerTimeUnit;
        points.x.append(base * kCurrentLevels[i]);
        points.y.append(seconds == 0.0 ? kZeroTimeShown : seconds);
    }
    return points;
}
