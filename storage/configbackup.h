#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

class ConfigPacket;
struct DeviceInfo;

// The copy of a device's settings kept before every write: a settings file under
// backups/ of the data directory, named by port, address and local time.
class ConfigBackup
{
    Q_DECLARE_TR_FUNCTIONS(ConfigBackup)

public:
    static constexpr const char *kDirectory = "backups";

    // "COM3" for a port number, else the device file's name.
    static QString portLabel(int portNumber, const QString &devicePath);
    // "COM3_a1_2024-05-01_10-20-30.json"
    static QString fileName(const QString &portLabel, int address, const QDateTime &at);
    // Saves block as read from device; the path written, or false with the reason.
    static bool save(const ConfigPacket &block, const DeviceInfo &device, const QString &portLabel,
                     QString &path, QString &error);
    // The copy before a write: of lastRead, the block last read from device on the
    // port at devicePath; false with the reason when none was read or it cannot be saved.
    static bool saveBeforeWrite(const ConfigPacket *lastRead, const DeviceInfo &device, const QString &devicePath,
                                QString &path, QString &error);
};
