#include "datadirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>

namespace {

bool usable(const QString &dir)
{
    if (!QDir().mkpath(dir))
        return false;
    QTemporaryFile probe(dir + QStringLiteral("/.write-test-XXXXXX"));
    return probe.open();
}

} // namespace

QString DataDirectory::path()
{
    const QString env = qEnvironmentVariable(kEnvironmentVariable);
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    const QString appDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                        : QDir::currentPath();
    return QDir::cleanPath(appDir + QStringLiteral("/../data"));
}

QString DataDirectory::fallbackPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString DataDirectory::writablePath()
{
    static QString cachedFor;
    static QString chosen;
    const QString preferred = path();
    if (cachedFor != preferred) {
        cachedFor = preferred;
        chosen = preferred;
        if (!usable(preferred)) {
            chosen = fallbackPath();
            QDir().mkpath(chosen);
            fprintf(stderr, "orbix: cannot write to %s; keeping files in %s instead\n",
                    qPrintable(preferred), qPrintable(chosen));
        }
    }
    return chosen;
}

QString DataDirectory::filePath(const QString &name)
{
    const QString preferred = path() + QLatin1Char('/') + name;
    if (QFileInfo::exists(preferred) || !qEnvironmentVariableIsEmpty(kEnvironmentVariable))
        return preferred;
    // Files that went to the fallback directory on an earlier run are read from there.
    const QString fallback = fallbackPath() + QLatin1Char('/') + name;
    return QFileInfo::exists(fallback) ? fallback : preferred;
}

QString DataDirectory::writableFilePath(const QString &name)
{
    return writablePath() + QLatin1Char('/') + name;
}
