#include "sim/simstartcurve.h"

#include <QtGlobal>

#include <cmath>

const double SimStartCurve::kLevelMultiples[kLevels] = {
    0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.12, 1.26, 1.41, 1.58, 1.77,
    1.98, 2.22, 2.49, 2.79, 3.13, 3.51, 3.94, 4.41, 4.95, 5.54, 6.22, 6.97, 7.81, 8.75, 9.81, 11.0};

quint16 SimStartCurve::timeAbove(const Start &s, double level)
{
    double seconds = 0;
    if (level <= s.loadMultiple)
        seconds = s.windowSeconds;
    else if (level < s.peakMultiple)
        seconds = s.decaySeconds * std::log((s.peakMultiple - s.loadMultiple) / (level - s.loadMultiple));
    return quint16(qBound(0.0, std::round(seconds * 100.0), 65535.0));
}

void SimStartCurve::store(SimRegisters &regs, const Start &start)
{
    regs.set32(kTime, start.time);
    regs.set(kBaseCurrent, start.baseCounts);
    regs.set(kCompleteness, kComplete);
    for (int i = 0; i < kLevels; ++i)
        regs.set(kFirstTime + i, timeAbove(start, kLevelMultiples[i]));
}
