#pragma once

#include "deviceinfo.h"

#include <QString>
#include <QVector>

// A file of raw 36-byte device records: the device list and the last connection.
class DeviceRecordFile
{
public:
    // The records in file order; a missing file gives none, a trailing partial record is dropped.
    static QVector<DeviceInfo> load(const QString &path);
    // Written to a temporary file and renamed, so an interrupted save keeps the old list.
    static bool save(const QString &path, const QVector<DeviceInfo> &records);
};
