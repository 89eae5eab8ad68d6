#include "cli/snapshotreport.h"

#include "cli/devicesnapshot.h"
#include "report/reportbuilder.h"
#include "report/reportfiller.h"

#include <QFileInfo>

SnapshotReport::SnapshotReport(const DeviceSnapshot &s) : snapshot(s)
{
    protocol.merge(*snapshot.workLog, *snapshot.crashLog);
}

// Through the window's own filler: the live values and the temperatures are the
// snapshot's seconds, all shown. The command line has no settings of the window: its
// current axis is the default one.
ReportData SnapshotReport::data() const
{
    ReportFiller::Source source;
    source.device = snapshot.device;
    source.monitoring = snapshot.monitoring.get();
    source.configuration = snapshot.configuration.get();
    source.startRecord = snapshot.startRecord.get();
    source.oscillogram = snapshot.oscillogram.get();
    source.protocol = &protocol;
    source.liveSamples = &snapshot.samples;
    source.temperatureSamples = &snapshot.samples;
    if (!snapshot.samples.isEmpty())
        source.plotInterval = int(snapshot.samples.newest().time - snapshot.samples.at(0).time) + 1;
    return ReportFiller::fill(source);
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
    case ReportBuilder::Failure::TargetLocked:
        reason = QStringLiteral("cannot replace %1, open in another program or read-only: %2")
                     .arg(fileName, builder.systemError());
        break;
    default:
        reason = QStringLiteral("the PDF document of %1 was not written completely").arg(fileName);
    }
    return false;
}
