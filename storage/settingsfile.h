#pragma once

#include "device/deviceinfo.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

class ConfigPacket;

// A settings file: the configuration block of one device as JSON, every field by its
// name with the register word the device holds ("format": "orbix-settings",
// "version": 1; docs/settings-file.md). Loading never touches a device: it checks the
// fields against the device they are meant for and puts them into a block.
class SettingsFile
{
    Q_DECLARE_TR_FUNCTIONS(SettingsFile)

public:
    static constexpr const char *kFormat = "orbix-settings";
    static constexpr int kVersion = 1;
    static constexpr const char *kSuffix = "json";

    DeviceInfo device;     // the device the fields came from
    int modification = 0;  // decides the block class the fields belong to
    QDateTime saved;
    QMap<QString, int> fields; // name -> word (signed for minCurrentCorrection)

    static SettingsFile fromBlock(const ConfigPacket &block, const DeviceInfo &device,
                                  const QDateTime &saved = QDateTime::currentDateTime());
    QByteArray toJson() const;
    // False, with the reason in the interface's language, for anything but a whole settings file.
    static bool fromJson(const QByteArray &bytes, SettingsFile &out, QString &error);

    bool save(const QString &path, QString &error) const;
    static bool load(const QString &path, SettingsFile &out, QString &error);

    // What a load into a block left as it was.
    struct Applied {
        QStringList leftOut;   // in the file, but the device's block has no such field
        QStringList notInFile; // the block has them, the file does not
    };
    // Checks every field (known name, within its editor's range for the target device),
    // then puts those the block has into it. On a failed check the block is untouched.
    bool applyTo(ConfigPacket &block, const DeviceInfo &target, Applied &applied, QString &error) const;
};
