#include "datadirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <unistd.h>

namespace {

QString &overrideDir()
{
    static QString dir;
    return dir;
}

// Whether files can be created in dir, or dir itself can be created; creates nothing.
bool writable(const QString &dir)
{
    QFileInfo at(dir);
    while (!at.exists()) {
        const QString parent = at.absolutePath();
        if (parent == at.absoluteFilePath())
            return false;
        at = QFileInfo(parent);
    }
    return at.isDir() && ::access(QFile::encodeName(at.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

} // namespace

void DataDirectory::setOverride(const QString &dir)
{
    overrideDir() = dir.isEmpty() ? QString() : QDir::cleanPath(QDir(dir).absolutePath());
}

QString DataDirectory::path()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
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
        if (!writable(preferred)) {
            chosen = fallbackPath();
            fprintf(stderr, "orbix: cannot write to %s; keeping files in %s instead\n",
                    qPrintable(preferred), qPrintable(chosen));
        }
    }
    return chosen;
}

QString DataDirectory::filePath(const QString &name)
{
    const QString written = writableFilePath(name);
    if (QFileInfo::exists(written))
        return written;
    // A read-only directory that holds files from before still gives them until the
    // first save, which goes to the fallback directory and is read from there on.
    return path() + QLatin1Char('/') + name;
}

QString DataDirectory::writableFilePath(const QString &name)
{
    return writablePath() + QLatin1Char('/') + name;
}

bool DataDirectory::writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
