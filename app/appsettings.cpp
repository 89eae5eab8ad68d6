#include "appsettings.h"

#include "datadirectory.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>

AppSettings &AppSettings::instance()
{
    static AppSettings settings;
    return settings;
}

QString AppSettings::defaultPath()
{
    return DataDirectory::filePath(QLatin1String(kFileName));
}

void AppSettings::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *this = AppSettings();
        lastReportDir = QDir::currentPath();
        return;
    }
    QDataStream in(&file);
    in.setByteOrder(QDataStream::BigEndian);
    QString dir;
    bool connect = false;
    qint32 ints[4] = {0, 0, 0, 0};
    in >> dir >> connect;
    for (qint32 &v : ints)
        in >> v; // past the end of a short file QDataStream yields 0
    lastReportDir = dir;
    autoConnect = connect;
    currentAxisScale = ints[0];
    plotInterval = ints[1];
    lastSpeedIndex = ints[2];
    lastPortNumber = ints[3];
}

bool AppSettings::save() const
{
    return save(DataDirectory::writableFilePath(QLatin1String(kFileName)));
}

bool AppSettings::save(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::BigEndian);
    out << lastReportDir << autoConnect << currentAxisScale << plotInterval << lastSpeedIndex << lastPortNumber;
    return out.status() == QDataStream::Ok && file.commit();
}
