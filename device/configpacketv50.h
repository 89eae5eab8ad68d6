#pragma once

#include "device/configpacket.h"

// Settings of modification 50 and above: adds the imbalance trip time (register 30).
class ConfigPacketV50 : public ConfigPacket
{
public:
    ConfigPacketV50();
    ConfigPacketV50(const ConfigPacketV50 &other);
    ConfigPacketV50 *clone() const override;
    int version() const override;

    // Milliseconds.
    quint16 imbalanceTripTime() const { return word(ConfigFields::ImbalanceTripTime); }

private:
    quint16 v50Words[1] = {};
};
