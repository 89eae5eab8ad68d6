#include "datadirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>

namespace {

QString &overrideDir()
{
    static QString dir;
    return dir;
}

// Whether files can be created in dir, or dir itself can be created: tried with a
// temporary file in dir or its nearest existing ancestor (permissions alone do not
// tell, a read-only file system refuses root too). Leaves nothing behind.
bool writable(const QString &dir)
{
    QFileInfo at(dir);
    while (!at.exists()) {
        const QString parent = at.absolutePath();
        if (parent == at.absoluteFilePath())
            return false;
        at = QFileInfo(parent);
    }
    if (!at.isDir())
        return false;
    QTemporaryFile probe(at.absoluteFilePath() + QStringLiteral("/.orbix-write-test-XXXXXX"));
    return probe.open();
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
