#include "storage/configbackup.h"

#include "device/deviceinfo.h"
#include "storage/datadirectory.h"
#include "storage/filetext.h"
#include "storage/settingsfile.h"

#include <QFileInfo>
#include <QRegularExpression>

QString ConfigBackup::portLabel(int portNumber, const QString &devicePath)
{
    if (portNumber > 0)
        return QStringLiteral("COM%1").arg(portNumber);
    // A network line's "127.0.0.1:502" is no file name on Windows: the same name on
    // every system, with what Windows refuses made '_'.
    static const QRegularExpression refused(QStringLiteral("[<>:\"/\\\\|?*\\x00-\\x1f]"));
    return QFileInfo(devicePath).fileName().replace(refused, QStringLiteral("_"));
}

QString ConfigBackup::fileName(const QString &portLabel, int address, const QDateTime &at)
{
    return QStringLiteral("%1_a%2_%3.%4")
        .arg(portLabel).arg(address).arg(at.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")))
        .arg(QLatin1String(SettingsFile::kSuffix));
}

bool ConfigBackup::save(const ConfigPacket &block, const DeviceInfo &device, const QString &portLabel,
                        QString &path, QString &error)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString dir = DataDirectory::writableFilePath(QLatin1String(kDirectory)) + QLatin1Char('/');
    const QString base = fileName(portLabel, device.address, now);
    path = dir + base;
    // Two writes within a second keep both copies.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir + QFileInfo(base).completeBaseName() + QStringLiteral("_%1.").arg(n) + QLatin1String(SettingsFile::kSuffix);
    if (SettingsFile::fromBlock(block, device, now).save(path, error))
        return true;
    static const FileText kNotSaved = QT_TRANSLATE_NOOP3("ConfigBackup", "резервная копия настроек не сохранена в %1",
                                                         "settings backup not saved in %1");
    error = kNotSaved.text("ConfigBackup").arg(dir);
    return false;
}

bool ConfigBackup::saveBeforeWrite(const ConfigPacket *lastRead, const DeviceInfo &device, const QString &devicePath,
                                   QString &path, QString &error)
{
    if (!lastRead) {
        error = tr("настройки устройства ещё не прочитаны");
        return false;
    }
    return save(*lastRead, device, portLabel(device.portNumber, devicePath), path, error);
}
