#include "cli/snapshotreport.h"

#include "cli/devicesnapshot.h"
#include "device/currentscale.h"
#include "device/protectionmodel.h"
#include "report/reportbuilder.h"

#include <QFileInfo>

namespace {
constexpr int kPhases = ReportData::kLiveColumns / 2; // currents, then voltages
} // namespace

SnapshotReport::SnapshotReport(const DeviceSnapshot &s) : snapshot(s)
{
    protocol.merge(*snapshot.workLog, *snapshot.crashLog);
}

// The samples as the watch tab takes each monitoring block, over the snapshot's
// seconds; the characteristic as its tab takes the settings and the start record. The
// command line has no settings of the window: its current axis is the default one.
ReportData SnapshotReport::data() const
{
    ReportData d;
    d.device = snapshot.device;
    d.version = snapshot.device.modification;
    d.monitoring.reset(snapshot.samples.back().block->clone());
    d.configuration.reset(snapshot.configuration->clone());
    d.protocol = &protocol;
    d.plotInterval = int(snapshot.samples.back().time - snapshot.samples.front().time) + 1;
    const CurrentScale scale(snapshot.device.currentScale);
    for (const DeviceSnapshot::Sample &s : snapshot.samples) {
        double live[ReportData::kLiveColumns];
        for (int phase = 0; phase < kPhases; ++phase) {
            live[phase] = s.block->phaseCurrentAmperes(phase, scale);
            live[kPhases + phase] = s.block->phaseVoltage(phase);
        }
        d.liveSamples.append(s.time, live);
        const double temperature[ReportData::kTemperatureColumns] = {double(s.block->pt100Temperature()),
                                                                     double(s.block->calculatedHeating())};
        d.temperatureSamples.append(s.time, temperature);
    }
    d.protection = ProtectionSettings::fromConfig(*snapshot.configuration);
    d.startCharacteristic = snapshot.startRecord->characteristic();
    if (snapshot.oscillogram)
        d.oscillogram.reset(snapshot.oscillogram->clone());
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
