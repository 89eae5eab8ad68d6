#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class WatchDataPacket;
struct DeviceInfo;

// audit.csv: one row per device of an audit, with its state as read, the files
// written for it and, for a device that could not be read or written, the reason.
class AuditIndex
{
public:
    static constexpr const char *kFileName = "audit.csv";

    // state: the device's newest monitoring block; none when it could not be read.
    void add(const DeviceInfo &device, const WatchDataPacket *state, const QStringList &files, const QString &failure);
    // UTF-8, a header line first, fields quoted where they need it.
    QByteArray text() const;

private:
    QVector<QStringList> rows;
};
