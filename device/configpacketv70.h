#pragma once

#include "device/configpacketv50.h"

// Settings of modification 70 and above: adds registers 190..191.
class ConfigPacketV70 : public ConfigPacketV50
{
public:
    ConfigPacketV70();
    ConfigPacketV70(const ConfigPacketV70 &other);
    ConfigPacketV70 *clone() const override;
    int version() const override;

    // Stored in signed tenths: -0.5 is 0xFFFB.
    double minCurrentCorrection() const;
    quint16 insulationThreshold() const { return word(ConfigFields::InsulationThreshold); }

private:
    quint16 v70Words[2] = {};
};
