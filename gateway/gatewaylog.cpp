#include "gateway/gatewaylog.h"

#include <cstdio>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

GatewayLog::Target GatewayLog::targetOf(int fd, const QByteArray &journalStream)
{
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return File;
    const QList<QByteArray> parts = journalStream.split(':');
    bool devOk = false;
    bool inodeOk = false;
    if (parts.size() == 2 && parts[0].toULongLong(&devOk) == quint64(st.st_dev)
        && parts[1].toULongLong(&inodeOk) == quint64(st.st_ino) && devOk && inodeOk)
        return Journal;
    return isatty(fd) == 1 ? Terminal : File;
}

QByteArray GatewayLog::format(Target target, int priority, const QString &text, const QDateTime &at)
{
    QByteArray line;
    if (target == Journal) {
        line = '<' + QByteArray::number(priority) + '>' + text.toUtf8();
    } else {
        const bool colour = target == Terminal;
        const char *word = priority <= Error ? (colour ? "\033[31merror\033[0m: " : "error: ")
                           : priority == Warning ? (colour ? "\033[33mwarning\033[0m: " : "warning: ") : "";
        line = at.toUTC().toString(Qt::ISODateWithMs).toLatin1() + ' ' + word + text.toUtf8();
    }
    line.replace('\n', ' ');
    return line + '\n';
}

void GatewayLog::write(int priority, const QString &text)
{
    static std::mutex lock; // lines of several threads never interleave
    static const Target target = targetOf(STDERR_FILENO, qgetenv("JOURNAL_STREAM"));
    const QByteArray line = format(target, priority, text, QDateTime::currentDateTimeUtc());
    std::lock_guard<std::mutex> guard(lock);
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
