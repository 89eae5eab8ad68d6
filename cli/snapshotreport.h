#pragma once

#include "device/protocollist.h"
#include "report/reportdata.h"

#include <QString>

class DeviceSnapshot;

// The window's report of a device from a snapshot instead of a connection: filled
// from the snapshot's blocks, samples and logs as the window fills it from its
// connection, then the same document written.
class SnapshotReport
{
public:
    explicit SnapshotReport(const DeviceSnapshot &snapshot);

    ReportData data() const;
    // The whole PDF or no file; false with reason in English, as the command line speaks.
    bool write(const QString &fileName, QString &reason) const;

private:
    const DeviceSnapshot &snapshot;
    ProtocolList protocol;
};
