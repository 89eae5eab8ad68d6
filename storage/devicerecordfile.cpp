#include "devicerecordfile.h"

#include "datadirectory.h"

#include <QFile>

QVector<DeviceInfo> DeviceRecordFile::load(const QString &path)
{
    QVector<DeviceInfo> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    while (!file.atEnd()) {
        const QByteArray bytes = file.read(DeviceInfo::kRecordSize);
        DeviceInfo info;
        if (!DeviceInfo::fromRecord(bytes.constData(), bytes.size(), info))
            break;
        records.append(info);
    }
    return records;
}

bool DeviceRecordFile::save(const QString &path, const QVector<DeviceInfo> &records)
{
    QByteArray bytes;
    for (const DeviceInfo &info : records)
        bytes += info.toRecord();
    return DataDirectory::writeFile(path, bytes);
}
