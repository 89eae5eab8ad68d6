#include "storage/datadirectory.h"

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
    static QString cachedFor;
    static QString chosen;
    if (cachedFor != appDir) { // a write probe each time a file is read would be a waste
        cachedFor = appDir;
        chosen = defaultPath(appDir);
    }
    return chosen;
}

QString DataDirectory::defaultPath(const QString &programDir)
{
    const QString beside = QDir::cleanPath(programDir + QStringLiteral("/../data"));
    if (QFileInfo(beside).isDir())
        return beside; // a build tree, or a copy of the program carried with its files
#ifdef Q_OS_WIN
    // A Windows program is one folder, installed or unpacked anywhere: a data folder in
    // it keeps that copy's files with it (the portable package has one); nothing is made
    // beside a folder that is not the program's.
    const QString inside = QDir::cleanPath(programDir + QStringLiteral("/data"));
    return QFileInfo(inside).isDir() ? inside : userPath();
#else
    // Installed as /usr/bin/orbix: /usr/data is no place for a user's files, even for
    // root, who could make it.
    if (QFileInfo(programDir).fileName() == QLatin1String("bin") || !writable(beside))
        return userPath();
    return beside;
#endif
}

QString DataDirectory::userPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/')
        + QLatin1String(kUserDirectoryName);
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
            chosen = userPath();
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
    // A device or a pipe (/dev/stdout, /dev/full) is written to as it is: a rename would
    // put a plain file in its place, and a full device must fail.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        QFile device(path);
        return device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && device.write(bytes) == bytes.size();
    }
    QDir().mkpath(info.absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // write() only fills Qt's buffer, and commit() renames even when the flush it does
    // on the way fails (a full disk): an empty file would replace the good one. So the
    // bytes are pushed to the file here, and a failure drops the temporary file.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
