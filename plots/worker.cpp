#include "worker.h"

#include "curvepoints.h"
#include "protectioncharacteristic.h"
#include "runconfigplot.h"

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
    QMetaObject::invokeMethod(plot, "onBuildProtectionGraphFinished", Qt::QueuedConnection,
                              Q_ARG(QVector<double>, points.x), Q_ARG(QVector<double>, points.y));
}
