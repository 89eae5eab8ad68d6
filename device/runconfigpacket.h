#pragma once

#include "device/curvepoints.h"
#include "link/datapacket.h"

// The start characteristic recorded by the device: registers 201..236, with the
// current scale of the device it was read from.
class RunConfigPacket : public DataPacket
{
public:
    static constexpr int kLevels = 32;
    // Current levels of the recorded points, as multiples of the base current.
    static const double kCurrentLevels[kLevels];

    explicit RunConfigPacket(int currentScale);
    RunConfigPacket(const RunConfigPacket &other);
    RunConfigPacket *clone() const override;

    quint32 recordTime() const { return quint32(words[0]) | quint32(words[1]) << 16; }
    quint16 baseCurrentRaw() const { return words[2]; }
    // Amperes; 0 for a current scale of 0, the raw word stays in baseCurrentRaw().
    double baseCurrent() const;
    quint16 completeness() const { return words[3]; }
    // Hundredths of a second for level i (0..31); 0 for any other index.
    quint16 timeWord(int level) const;
    int currentScale() const { return scale; }

    // The 32 points (amperes, seconds); a time of 0 becomes 0.001 s so that a
    // logarithmic time axis can draw it.
    CurvePoints characteristic() const;

private:
    static constexpr int kHeaderWords = 4; // time (2), base current, completeness

    int scale;
    quint16 words[kHeaderWords + kLevels] = {};
};
