#include "device/protectioncharacteristic.h"

#include "device/devicelog.h"
#include "device/triptimesolver.h"

namespace {

// Point currents in per cent of rated: fine steps where the curve bends, coarser above.
struct StepRange { int first, last, step; };
constexpr StepRange kSteps[] = {{1, 59, 1}, {60, 680, 20}, {700, 1450, 50}};

constexpr double kPercentFraction = 0.01;
constexpr int kPerMillePerPercent = 10;
constexpr double kSecondsPerUs = 0.000001;

} // namespace

QVector<int> ProtectionCharacteristic::percentSteps()
{
    QVector<int> steps;
    steps.reserve(kPointCount);
    for (const StepRange &r : kSteps) {
        for (int v = r.first; v <= r.last; v += r.step)
            steps.append(v);
    }
    return steps;
}

double ProtectionCharacteristic::ratedCurrentAmps(quint16 ratedCurrent, int currentScale)
{
    if (currentScale == 0) {
        qCDebug(lcDevice) << "current scale is 0; characteristic drawn at 0 A";
        return 0.0;
    }
    return double(ratedCurrent) / double(currentScale);
}

bool ProtectionCharacteristic::build(const ProtectionSettings &settings, int currentScale,
                                     CurvePoints &out, const std::atomic<bool> *stop)
{
    const TripTimeSolver solver(settings);
    const double rated = ratedCurrentAmps(settings.ratedCurrent, currentScale);
    out = CurvePoints();
    for (int v : percentSteps()) {
        if (stop && stop->load())
            return false;
        out.x.append(kPercentFraction * v * rated);
        out.y.append(solver.tripTime(quint16(kPerMillePerPercent * v)) * kSecondsPerUs);
    }
    return true;
}
