#include "devicerecordfile.h"

#include <QFile>
#include <QSaveFile>

QList<DeviceInfo> DeviceRecordFile::load(const QString &path)
{
    QList<DeviceInfo> records;
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

bool DeviceRecordFile::save(const QString &path, const QList<DeviceInfo> &records)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const DeviceInfo &info : records)
        file.write(info.toRecord());
    return file.commit();
}
