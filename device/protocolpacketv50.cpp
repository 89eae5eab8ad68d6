#include "device/protocolpacketv50.h"

#include "device/devicelog.h"
#include "device/eventdatav50.h"

#include <algorithm>
#include <iterator>

ProtocolPacketV50::ProtocolPacketV50()
{
    addOwnRequests();
}

ProtocolPacketV50::ProtocolPacketV50(const ProtocolPacketV50 &other)
    : ProtocolPacket(other)
{
    addOwnRequests();
    std::copy(std::begin(other.peaks), std::end(other.peaks), peaks);
    divisor[0] = other.divisor[0];
}

void ProtocolPacketV50::addOwnRequests()
{
    addRequest(peaks, sizeof peaks, RegisterMap::StartPeaks);
    addRequest(divisor, sizeof divisor, RegisterMap::StartPeakDivisor);
}

ProtocolPacketV50 *ProtocolPacketV50::clone() const
{
    return new ProtocolPacketV50(*this);
}

std::unique_ptr<EventData> ProtocolPacketV50::event(int index) const
{
    if (!validIndex(index))
        return nullptr;
    return std::make_unique<EventDataV50>(code(index), time(index), startPeak(index));
}

float ProtocolPacketV50::startPeak(int index) const
{
    if (divisor[0] == 0) {
        qCDebug(lcDevice) << "start peak divisor is 0; peak" << rawStartPeak(index) << "shown as 0";
        return 0.0f;
    }
    return float(double(rawStartPeak(index)) / double(divisor[0]));
}
