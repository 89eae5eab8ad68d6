#include "link/tcpline.h"

#include "link/linklog.h"

#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TcpLine::TcpLine(const QByteArray &url, quint16 defaultPort)
    : Line(url)
{
    const QUrl parsed(QString::fromUtf8(url));
    hostName = parsed.host();
    const int port = parsed.port(defaultPort);
    badName = !parsed.isValid() || hostName.isEmpty() || port <= 0 || port > 65535;
    portNumber = badName ? 0 : quint16(port);
}

TcpLine::~TcpLine() = default;

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

// A non-blocking connect to each address of the name in turn, within the allowance.
bool TcpLine::connectTo()
{
    resolveError = 0;
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const QByteArray service = QByteArray::number(portNumber);
    resolveError = getaddrinfo(hostName.toUtf8().constData(), service.constData(), &hints, &found);
    if (resolveError != 0)
        return fail(EHOSTUNREACH);
    int err = ECONNREFUSED;
    for (addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            err = errno;
            continue;
        }
        if (::connect(s, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            err = errno;
            ::close(s);
            continue;
        }
        pollfd p {s, POLLOUT, 0};
        const int ready = ::poll(&p, 1, connectTimeoutMs());
        socklen_t len = sizeof err;
        int soError = 0;
        getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &len);
        if (ready <= 0 || soError != 0) {
            err = ready == 0 ? ETIMEDOUT : (soError ? soError : errno);
            ::close(s);
            continue;
        }
        const int one = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // a request goes out whole, at once
        opened(s);
    }
    freeaddrinfo(found);
    if (fd < 0)
        return fail(err);
    qCDebug(lcLink).noquote() << "connected to" << hostName << portNumber;
    return true;
}

ssize_t TcpLine::writeSome(const char *data, size_t size)
{
    return ::send(fd, data, size, MSG_NOSIGNAL); // a dropped peer is an error, not a signal
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
        why = QStringLiteral("name not resolved: %1").arg(QString::fromLocal8Bit(gai_strerror(resolveError)));
    else if (lastError() == ECONNREFUSED)
        why = QStringLiteral("refused");
    else if (lastError() == EHOSTUNREACH || lastError() == ENETUNREACH)
        why = QStringLiteral("unreachable");
    else if (lastError() == ETIMEDOUT)
        why = QStringLiteral("no answer within %1 ms").arg(connectTimeoutMs());
    else
        why = QString::fromLocal8Bit(strerror(lastError()));
    return QStringLiteral("no connection to %1 (%2)").arg(where, why);
}
