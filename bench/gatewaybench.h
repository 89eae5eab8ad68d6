#pragma once

// What the gateway's benchmarks measure the same way: the peers they start and the
// process they watch from outside.
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <cstring>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

inline QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
}

// utime + stime of a process, in seconds.
inline double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

inline double residentMiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// A blocking connection to a loopback port whose reads give up after 5 s; -1 when it
// could not be made.
inline int loopbackConnection(quint16 port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    timeval timeout {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// The body of an HTTP/1.0 GET on the loopback, empty when it fails.
inline QByteArray httpGet(quint16 port, const QByteArray &path)
{
    const int fd = loopbackConnection(port);
    if (fd < 0)
        return {};
    QByteArray reply;
    const QByteArray request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        char buffer[65536];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            reply.append(buffer, int(n));
    }
    ::close(fd);
    const int body = reply.indexOf("\r\n\r\n");
    return body < 0 || !reply.startsWith("HTTP/1.") || reply.mid(9, 3) != "200" ? QByteArray() : reply.mid(body + 4);
}

// The sum of a metric's samples whose labels hold every one of parts.
inline double metricSum(const QByteArray &exposition, const QByteArray &name, const QList<QByteArray> &parts = {})
{
    double sum = 0;
    for (const QByteArray &line : exposition.split('\n')) {
        if (!line.startsWith(name + '{') && !line.startsWith(name + ' '))
            continue;
        bool all = true;
        for (const QByteArray &p : parts)
            all = all && line.contains(p);
        if (all)
            sum += line.mid(line.lastIndexOf(' ') + 1).toDouble();
    }
    return sum;
}

} // namespace bench
