#pragma once

// Writes that fail as on a full disk, for tests of what a failed save leaves behind.
//  - WriteLimit: no regular file of this process may grow past a few bytes (the file
//    size limit, EFBIG), which works for any user on any file system;
//  - FullTmpfs: a small tmpfs mounted and filled (ENOSPC), as root only.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

class WriteLimit
{
public:
    explicit WriteLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous = std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending us
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~WriteLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    bool isActive() const { return active; }

private:
    rlimit saved {};
    void (*previous)(int) = SIG_DFL;
    bool active = false;
};

class FullTmpfs
{
public:
    // Mounts a tmpfs of sizeKb on dir; error() says why not.
    FullTmpfs(const QString &dir, int sizeKb) : where(QFile::encodeName(dir))
    {
        const QByteArray options = "size=" + QByteArray::number(sizeKb) + 'k';
        mounted = ::mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) == 0;
        if (!mounted)
            reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~FullTmpfs()
    {
        if (mounted)
            ::umount2(where.constData(), MNT_DETACH);
    }
    bool isMounted() const { return mounted; }
    QString error() const { return reason; }
    // Takes every free block with one file; true when the disk then refuses a byte.
    bool fill() const
    {
        QFile filler(QFile::decodeName(where) + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, '\0');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write(block.left(1)) == 1) {
        }
        return true;
    }

private:
    QByteArray where;
    bool mounted = false;
    QString reason;
};
