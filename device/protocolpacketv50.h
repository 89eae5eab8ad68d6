#pragma once

#include "device/protocolpacket.h"

// The work log of modification 50 and above: adds the raw start peak of each
// record (registers 180..189) and their divisor (register 1).
class ProtocolPacketV50 : public ProtocolPacket
{
public:
    ProtocolPacketV50();
    ProtocolPacketV50(const ProtocolPacketV50 &other);
    ProtocolPacketV50 *clone() const override;

    // An EventDataV50; its start peak is 0 when the divisor is 0.
    std::unique_ptr<EventData> event(int index) const override;

    quint16 rawStartPeak(int index) const { return validIndex(index) ? peaks[index] : 0; }
    quint16 peakDivisor() const { return divisor[0]; }
    // Amperes; 0 when the divisor is 0 (the device never reports one, but a
    // blank or faulty register must not put infinities into the log).
    float startPeak(int index) const;

private:
    void addOwnRequests();

    quint16 peaks[kRecords] = {};
    quint16 divisor[1] = {};
};
