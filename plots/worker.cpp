#include "plots/worker.h"

#include "device/curvepoints.h"
#include "device/protectioncharacteristic.h"
#include "plots/runconfigplot.h"

#include <QThread>

Worker::Worker(RunConfigPlot *plot, const ProtectionSettings &settings, int currentScale, const std::atomic<bool> *stop)
    : plot(plot), plotThread(plot->thread()), settings(settings), currentScale(currentScale), stop(stop)
{
}

void Worker::buildGraph()
{
    CurvePoints points;
    if (!ProtectionCharacteristic::build(settings, currentScale, points, stop))
        return; // the plot is going away
    if (QThread::currentThread() == plotThread) {
        plot->onBuildProtectionGraphFinished(points.x, points.y);
        return;
    }
    // The plot as context: a result that comes after it is gone is dropped.
    RunConfigPlot *target = plot;
    QMetaObject::invokeMethod(
        target, [target, x = points.x, y = points.y] { target->onBuildProtectionGraphFinished(x, y); },
        Qt::QueuedConnection);
}
