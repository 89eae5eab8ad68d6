#include "storage/devicerecordfile.h"

#include "storage/datadirectory.h"
#include "storage/storagelog.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
constexpr int kFirstAddress = 1, kLastAddress = 247; // Modbus slave addresses
constexpr int kFormatCount = 4;                      // 8E1, 8O1, 8N15, 8N2
} // namespace

bool DeviceRecordFile::isDevice(const DeviceInfo &d)
{
    if (d.kind != DeviceInfo::Recognised && d.kind != DeviceInfo::Unknown)
        return false;
    if (d.address < kFirstAddress || d.address > kLastAddress || d.frameFormat < 0 || d.frameFormat >= kFormatCount)
        return false;
    if (std::find(std::begin(DeviceInfo::kSpeeds), std::end(DeviceInfo::kSpeeds), d.baudRate)
        == std::end(DeviceInfo::kSpeeds))
        return false;
    // An unknown device's other fields are written as zeros and never read.
    return d.kind == DeviceInfo::Unknown || (std::isfinite(d.minRatedCurrent) && std::isfinite(d.maxRatedCurrent));
}

QVector<DeviceInfo> DeviceRecordFile::load(const QString &path)
{
    QVector<DeviceInfo> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QByteArray bytes = file.readAll();
    int refused = 0;
    for (int at = 0; at + DeviceInfo::kRecordSize <= bytes.size(); at += DeviceInfo::kRecordSize) {
        DeviceInfo info;
        DeviceInfo::fromRecord(bytes.constData() + at, DeviceInfo::kRecordSize, info);
        if (isDevice(info))
            records.append(info);
        else
            ++refused;
    }
    if (refused > 0)
        qCWarning(lcStorage) << path << ":" << refused << "records that are no device left out";
    return records;
}

bool DeviceRecordFile::save(const QString &path, const QVector<DeviceInfo> &records)
{
    QByteArray bytes;
    bytes.reserve(records.size() * DeviceInfo::kRecordSize);
    for (const DeviceInfo &info : records)
        bytes += info.toRecord();
    return DataDirectory::writeFile(path, bytes);
}
