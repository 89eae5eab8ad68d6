#pragma once

#include "device/curvepoints.h"
#include "device/protectionmodel.h"

#include <QVector>

#include <atomic>

// The protection time-current characteristic: the simulated trip time for 107
// constant currents from 1 % to 1450 % of the rated current.
class ProtectionCharacteristic
{
public:
    static constexpr int kPointCount = 107;

    // The currents of the points, in per cent of the rated current, ascending.
    static QVector<int> percentSteps();
    // Amperes; 0 for a current scale of 0 (the curve then lies on x = 0).
    static double ratedCurrentAmps(quint16 ratedCurrent, int currentScale);

    // Points in amperes (x) and seconds (y), computed on a model of its own, so a
    // caller may change its settings meanwhile. Returns false, with out left
    // partly filled, when *stop was set between two points.
    static bool build(const ProtectionSettings &settings, int currentScale, CurvePoints &out,
                      const std::atomic<bool> *stop = nullptr);
};
