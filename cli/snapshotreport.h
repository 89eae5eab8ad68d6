#pragma once

#include "crashplot.h"
#include "protocollist.h"
#include "reportdata.h"
#include "runconfigplot.h"
#include "tempplot.h"
#include "watchplot.h"

#include <QString>

#include <memory>

class DeviceSnapshot;

// The window's report of a device from a snapshot instead of a connection: the plots
// and the protocol filled as the tabs and the main window fill them (the live plots
// over the snapshot's seconds), then the same document written.
class SnapshotReport
{
public:
    explicit SnapshotReport(const DeviceSnapshot &snapshot);
    ~SnapshotReport();

    ReportData data() const;
    // The whole PDF or no file; false with reason in English, as the command line speaks.
    bool write(const QString &fileName, QString &reason) const;

private:
    void fillLivePlots();
    void fillCharacteristic();

    const DeviceSnapshot &snapshot;
    ProtocolList protocol;
    WatchPlot livePlot;
    TempPlot tempPlot;
    RunConfigPlot characteristicPlot;
    std::unique_ptr<CrashPlot> crashPlot;
};
