#pragma once

#include "device/protectionmodel.h"

#include <QObject>

#include <atomic>

class QThread;
class RunConfigPlot;

// One build of the protection characteristic for a plot, on settings copied when
// the build was asked for. Run in a thread of the plot's, its result reaches the
// plot through a queued call; run in the plot's own thread, through a direct one.
class Worker : public QObject
{
    Q_OBJECT
public:
    // stop: set by the plot to end the build early; nothing is delivered then.
    Worker(RunConfigPlot *plot, const ProtectionSettings &settings, int currentScale, const std::atomic<bool> *stop);

public slots:
    void buildGraph();

private:
    RunConfigPlot *plot;
    QThread *plotThread;
    const ProtectionSettings settings;
    const int currentScale;
    const std::atomic<bool> *stop;
};
