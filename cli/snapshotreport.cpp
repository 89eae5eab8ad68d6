#include "snapshotreport.h"

#include "devicesnapshot.h"
#include "protectionmodel.h"
#include "reportbuilder.h"

#include <QFileInfo>

namespace {
constexpr int kPhases = WatchPlot::kPhases;
} // namespace

SnapshotReport::SnapshotReport(const DeviceSnapshot &s) : snapshot(s)
{
    protocol.merge(*snapshot.workLog, *snapshot.crashLog);
    fillLivePlots();
    fillCharacteristic();
    if (snapshot.oscillogram) {
        crashPlot = std::make_unique<CrashPlot>();
        crashPlot->setAnchorValue(snapshot.device.minRatedCurrent);
        crashPlot->setData(*snapshot.oscillogram);
    }
}

SnapshotReport::~SnapshotReport() = default;

// As the watch tab adds each monitoring block; the plots span the snapshot's seconds.
void SnapshotReport::fillLivePlots()
{
    const int seconds = int(snapshot.samples.back().time - snapshot.samples.front().time) + 1;
    livePlot.setInterval(seconds);
    tempPlot.setInterval(seconds);
    const CurrentScale scale(snapshot.device.currentScale);
    livePlot.setCurrentScale(scale);
    for (const DeviceSnapshot::Sample &s : snapshot.samples) {
        double currents[kPhases];
        double voltages[kPhases];
        for (int phase = 0; phase < kPhases; ++phase) {
            currents[phase] = s.block->phaseCurrentAmperes(phase, scale);
            voltages[phase] = s.block->phaseVoltage(phase);
        }
        livePlot.addSampleAt(s.time, currents, voltages);
        tempPlot.addSampleAt(s.time, s.block->pt100Temperature(), s.block->calculatedHeating());
    }
}

// As the characteristic tab fills its plot; the report's copy builds the protection curve.
void SnapshotReport::fillCharacteristic()
{
    characteristicPlot.setCurrentScale(snapshot.device.currentScale);
    characteristicPlot.setProtectionSettings(ProtectionSettings::fromConfig(*snapshot.configuration));
    characteristicPlot.setStartCharacteristic(snapshot.startRecord->characteristic());
}

ReportData SnapshotReport::data() const
{
    ReportData d;
    d.device = snapshot.device;
    d.version = snapshot.device.modification;
    d.monitoring.reset(snapshot.samples.back().block->clone());
    d.configuration.reset(snapshot.configuration->clone());
    d.protocol = &protocol;
    d.livePlot = &livePlot;
    d.tempPlot = &tempPlot;
    d.characteristicPlot = &characteristicPlot;
    d.crashPlot = crashPlot.get();
    if (snapshot.oscillogram) {
        d.tripTime = snapshot.oscillogram->tripTime();
        d.faultCode = snapshot.oscillogram->faultCode();
    }
    return d;
}

bool SnapshotReport::write(const QString &fileName, QString &reason) const
{
    const ReportData reportData = data();
    ReportBuilder builder(fileName, reportData);
    if (builder.build())
        return true;
    const QString folder = QFileInfo(fileName).absolutePath();
    switch (builder.failure()) {
    case ReportBuilder::Failure::NotCreated:
        reason = QStringLiteral("cannot create a file in %1: %2").arg(folder, builder.systemError());
        break;
    case ReportBuilder::Failure::NotRenamed:
        reason = QStringLiteral("cannot name the report %1: %2").arg(fileName, builder.systemError());
        break;
    default:
        reason = QStringLiteral("the PDF document of %1 was not written completely").arg(fileName);
    }
    return false;
}
