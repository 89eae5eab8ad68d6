#pragma once

#include "sim/simmotor.h"
#include "sim/simregisters.h"

// The start characteristic record (201..236): when it was taken, its base current,
// how complete it is, and for each of 32 current levels how long the start current
// stayed above that level, in hundredths of a second.
class SimStartCurve
{
public:
    static constexpr int kTime = 201;
    static constexpr int kBaseCurrent = 203;
    static constexpr int kCompleteness = 204; // 0..65535 for 0..100 %
    static constexpr int kFirstTime = 205;
    static constexpr int kLevels = 32;
    static constexpr quint16 kComplete = 65535;
    static const double kLevelMultiples[kLevels]; // the device's fixed levels, multiples of the base current

    // A start as an exponential decay from the inrush peak to the load current.
    struct Start {
        quint32 time = 0;
        quint16 baseCounts = 0;     // base current, amperes x current scale
        double peakMultiple = SimMotor::kInrushMultiple; // inrush peak / base current
        double loadMultiple = SimMotor::kDefaultLoadPercent / 100.0; // running current / base current
        double decaySeconds = SimMotor::kInrushDecaySeconds; // time constant of the inrush decay
        double windowSeconds = 30.0; // how long the device records after a start
    };

    static void store(SimRegisters &regs, const Start &start);
    // Hundredths of a second that the start stayed above level x base current.
    static quint16 timeAbove(const Start &start, double level);
};
