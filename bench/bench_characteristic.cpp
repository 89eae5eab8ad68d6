// Time of one full build of the 107-point protection characteristic: the fast
// build the program uses, and the sample-by-sample reference it must equal.
#include "device/curvepoints.h"
#include "device/protectioncharacteristic.h"
#include "device/protectionmodel.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

ProtectionSettings settings(quint16 doubleOverloadTime)
{
    ProtectionSettings s;
    s.ratedCurrent = 200;
    s.minCurrent = 20;
    s.overloadMultiple = 5;
    s.doubleOverloadTime = doubleOverloadTime;
    s.fastProtection = true;
    s.overloadReactionTime = 100;
    s.brokenPhasesAllowed = 0;
    return s;
}

CurvePoints referenceBuild(const ProtectionSettings &s)
{
    ProtectionModel model(s);
    CurvePoints out;
    for (int v : ProtectionCharacteristic::percentSteps()) {
        out.x.append(0.01 * v * ProtectionCharacteristic::ratedCurrentAmps(s.ratedCurrent, 2));
        out.y.append(model.tripTime(quint16(10 * v)) * 0.000001);
    }
    return out;
}

// Median, min and max milliseconds of runs of a build.
void measure(const char *what, int runs, const std::function<CurvePoints()> &build, CurvePoints &result)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        result = build();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    printf("  %-10s median %8.2f ms (min %.2f, max %.2f) over %d runs\n", what, ms[ms.size() / 2], ms.front(),
           ms.back(), runs);
}

} // namespace

int main()
{
    for (quint16 doubleTime : {30, 200}) {
        const ProtectionSettings s = settings(doubleTime);
        printf("107-point characteristic, double-overload time %d s:\n", doubleTime);
        CurvePoints fast, reference;
        measure("fast", 50, [&s] {
            CurvePoints points;
            ProtectionCharacteristic::build(s, 2, points);
            return points;
        }, fast);
        measure("reference", 3, [&s] { return referenceBuild(s); }, reference);
        printf("  identical: %s\n", fast.x == reference.x && fast.y == reference.y ? "yes" : "NO");
    }
    return 0;
}
