#include "appsettings.h"

#include "datadirectory.h"
#include "deviceinfo.h"

#include <QDataStream>
#include <QDir>
#include <QFile>

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
    clamp();
}

void AppSettings::clamp()
{
    // Every value other than 1 draws a linear axis; the dialog then shows "Линейный".
    if (currentAxisScale != kLogarithmicAxis)
        currentAxisScale = kLinearAxis;
    plotInterval = qBound(0, plotInterval, kMaxPlotInterval);
    lastSpeedIndex = qBound(0, lastSpeedIndex, DeviceInfo::kSpeedCount - 1);
    lastPortNumber = qMax(0, lastPortNumber);
}

bool AppSettings::save() const
{
    return save(DataDirectory::writableFilePath(QLatin1String(kFileName)));
}

bool AppSettings::save(const QString &path) const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out << lastReportDir << autoConnect << currentAxisScale << plotInterval << lastSpeedIndex << lastPortNumber;
    return out.status() == QDataStream::Ok && DataDirectory::writeFile(path, bytes);
}
