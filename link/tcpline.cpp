#include "link/tcpline.h"

#include "link/linklog.h"
#include "link/socketio.h"

#include <QUrl>

#include <cerrno>

TcpLine::TcpLine(const QByteArray &url, quint16 defaultPort)
    : Line(url)
{
    const QUrl parsed(QString::fromUtf8(url));
    hostName = parsed.host();
    const int port = parsed.port(defaultPort);
    badName = !parsed.isValid() || hostName.isEmpty() || port <= 0 || port > 65535;
    portNumber = badName ? 0 : quint16(port);
}

TcpLine::~TcpLine()
{
    TcpLine::close();
}

bool TcpLine::open()
{
    close();
    if (badName)
        return fail(EINVAL);
    if (!connectTo())
        return false;
    if (!start()) {
        const int err = error;
        close();
        return fail(err);
    }
    return true;
}

bool TcpLine::connectTo()
{
    int err = 0;
    const SocketIo::Handle s = SocketIo::connectTcp(hostName, portNumber, connectTimeoutMs(), err, resolveError);
    if (s == SocketIo::kInvalid)
        return fail(err);
    opened(s);
    qCDebug(lcLink).noquote() << "connected to" << hostName << portNumber;
    return true;
}

int TcpLine::waitReadable(qint64 timeoutNs)
{
    return SocketIo::waitReadable(fd, timeoutNs);
}

void TcpLine::waitWritable(int timeoutMs)
{
    SocketIo::waitWritable(fd, timeoutMs);
}

ssize_t TcpLine::readSome(char *data, size_t size)
{
    return SocketIo::recv(fd, data, size);
}

ssize_t TcpLine::writeSome(const char *data, size_t size)
{
    return SocketIo::send(fd, data, size);
}

void TcpLine::closeHandle()
{
    SocketIo::close(fd);
}

void TcpLine::decode(const quint8 *raw, qint64 size)
{
    pending.append(reinterpret_cast<const char *>(raw), int(size));
}

qint64 TcpLine::totalReadNs() const
{
    const qint64 serial = Line::totalReadNs();
    return serial > 0 ? serial + qint64(networkAllowanceMs) * kNsPerMs : 0;
}

QString TcpLine::openErrorText() const
{
    if (badName)
        return QStringLiteral("%1 is not a network line (HOST:PORT)").arg(QString::fromUtf8(name()));
    const QString where = QStringLiteral("%1:%2").arg(hostName).arg(portNumber);
    QString why;
    if (resolveError != 0)
        why = QStringLiteral("name not resolved: %1").arg(SocketIo::resolveErrorText(resolveError));
    else if (lastError() == ECONNREFUSED)
        why = QStringLiteral("refused");
    else if (lastError() == EHOSTUNREACH || lastError() == ENETUNREACH)
        why = QStringLiteral("unreachable");
    else if (lastError() == ETIMEDOUT)
        why = QStringLiteral("no answer within %1 ms").arg(connectTimeoutMs());
    else
        why = SocketIo::errorText(lastError());
    return QStringLiteral("no connection to %1 (%2)").arg(where, why);
}
