// Time of one full build of the 107-point protection characteristic.
#include "curvepoints.h"
#include "protectioncharacteristic.h"
#include "protectionmodel.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main()
{
    ProtectionSettings s;
    s.ratedCurrent = 200;
    s.minCurrent = 20;
    s.overloadMultiple = 5;
    s.doubleOverloadTime = 30;
    s.fastProtection = true;
    s.overloadReactionTime = 100;
    s.brokenPhasesAllowed = 0;
    constexpr int kRuns = 5;
    std::vector<double> ms;
    CurvePoints points;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        points = CurvePoints();
        ProtectionCharacteristic::build(s, 2, points);
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    printf("107-point characteristic build: median %.1f ms (min %.1f, max %.1f) over %d runs, %d points\n",
           ms[ms.size() / 2], ms.front(), ms.back(), kRuns, int(points.x.size()));
    return 0;
}
