#pragma once

#include "device/deviceinfo.h"

#include <QString>
#include <QVector>

// A file of raw 36-byte device records: the device list and the last connection.
class DeviceRecordFile
{
public:
    // The records in file order; a missing file gives none, a trailing partial record is
    // dropped, and so is every record that is no device (isDevice).
    static QVector<DeviceInfo> load(const QString &path);
    // What the search can have found: kind 0 or 1, address 1-247, one of the nine speeds,
    // a frame format code 0-3, and finite rated currents for a recognised device.
    static bool isDevice(const DeviceInfo &info);
    // Written to a temporary file and renamed, so an interrupted save keeps the old list.
    static bool save(const QString &path, const QVector<DeviceInfo> &records);
};
