#pragma once

#include "configpacketv50.h"

// Settings of modification 70 and above: adds registers 190..191.
class ConfigPacketV70 : public ConfigPacketV50
{
public:
    ConfigPacketV70();
    ConfigPacketV70(const ConfigPacketV70 &other);
    ConfigPacketV70 *clone() const override;
    int version() const override;

    // Signed tenths; -0.5 is stored as 0xFFFB.
    qint16 minCurrentCorrectionWord() const { return qint16(v70Words[0]); }
    void setMinCurrentCorrectionWord(qint16 tenths) { v70Words[0] = quint16(tenths); }
    double minCurrentCorrection() const { return minCurrentCorrectionWord() * 0.1; }
    void setMinCurrentCorrection(double value);

    quint16 insulationThreshold() const { return v70Words[1]; }
    void setInsulationThreshold(quint16 index) { v70Words[1] = index; }

private:
    quint16 v70Words[2] = {};
};
