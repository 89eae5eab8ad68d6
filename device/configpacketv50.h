#pragma once

#include "configpacket.h"

// Settings of modification 50 and above: adds the imbalance trip time (register 30).
class ConfigPacketV50 : public ConfigPacket
{
public:
    ConfigPacketV50();
    ConfigPacketV50(const ConfigPacketV50 &other);
    ConfigPacketV50 *clone() const override;
    int version() const override;

    // Milliseconds; the editor holds tens of milliseconds.
    quint16 imbalanceTripTime() const { return v50Words[0]; }
    void setImbalanceTripTime(quint16 ms) { v50Words[0] = ms; }
    int imbalanceTripTimeTens() const { return msToTens(imbalanceTripTime()); }
    void setImbalanceTripTimeTens(int tens) { setImbalanceTripTime(tensToMs(tens)); }

private:
    quint16 v50Words[1] = {};
};
