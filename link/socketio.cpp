#include "link/socketio.h"

#include "link/waittime.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kNsPerMs = 1000000;

#ifdef Q_OS_WIN
using Native = SOCKET;
using PollEntry = WSAPOLLFD;
using Length = int;
constexpr int kNoSignal = 0; // Winsock raises no signal for a dropped peer

// Winsock's own codes as the POSIX values the lines judge.
int posixError(int wsa)
{
    switch (wsa) {
    case 0: return 0;
    case WSAEWOULDBLOCK: return EAGAIN;
    case WSAEINPROGRESS: case WSAEALREADY: return EINPROGRESS;
    case WSAEINTR: return EINTR;
    case WSAECONNRESET: case WSAENETRESET: return ECONNRESET;
    case WSAECONNABORTED: return ECONNABORTED;
    case WSAESHUTDOWN: return EPIPE;
    case WSAENOTCONN: return ENOTCONN;
    case WSAETIMEDOUT: return ETIMEDOUT;
    case WSAECONNREFUSED: return ECONNREFUSED;
    case WSAEHOSTUNREACH: case WSAEHOSTDOWN: return EHOSTUNREACH;
    case WSAENETUNREACH: return ENETUNREACH;
    case WSAENETDOWN: return ENETDOWN;
    case WSAEADDRINUSE: return EADDRINUSE;
    case WSAEADDRNOTAVAIL: return EADDRNOTAVAIL;
    case WSAEACCES: return EACCES;
    case WSAEINVAL: case WSAEAFNOSUPPORT: return EINVAL;
    case WSAEMFILE: return EMFILE;
    case WSAENOBUFS: return ENOBUFS;
    case WSAENOTSOCK: return EBADF;
    default: return EIO;
    }
}

int nativeError() { return posixError(WSAGetLastError()); }
void closeNative(Native s) { ::closesocket(s); }
int pollNative(PollEntry *entries, std::size_t count, int timeoutMs) { return ::WSAPoll(entries, ULONG(count), timeoutMs); }

Native newSocket(int family, int type, int protocol)
{
    if (!SocketIo::startup())
        return INVALID_SOCKET;
    const Native s = ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    u_long on = 1;
    if (s != INVALID_SOCKET && ::ioctlsocket(s, FIONBIO, &on) != 0) {
        closeNative(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool connectPending() { return WSAGetLastError() == WSAEWOULDBLOCK; }
#else
using Native = int;
using PollEntry = pollfd;
using Length = socklen_t;
constexpr Native INVALID_SOCKET = -1;
constexpr int kNoSignal = MSG_NOSIGNAL; // a dropped peer is an error, not a signal

int nativeError() { return errno; }
void closeNative(Native s) { ::close(s); }
int pollNative(PollEntry *entries, std::size_t count, int timeoutMs) { return ::poll(entries, nfds_t(count), timeoutMs); }
Native newSocket(int family, int type, int protocol) { return ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol); }
bool connectPending() { return errno == EINPROGRESS; }
#endif

Native native(SocketIo::Handle h) { return Native(h); }
SocketIo::Handle handle(Native s) { return s == INVALID_SOCKET ? SocketIo::kInvalid : SocketIo::Handle(s); }

void noDelay(Native s)
{
    const int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
}

// An interrupted wait counts as one that saw nothing; the caller's loop asks again.
int pollOne(Native s, short events, qint64 timeoutNs, short &revents)
{
    PollEntry p {};
    p.fd = s;
    p.events = events;
#ifdef Q_OS_WIN
    const int r = pollNative(&p, 1, WaitTime::roundUpMs(timeoutNs));
#else
    const timespec ts {time_t(timeoutNs / (1000 * kNsPerMs)), long(timeoutNs % (1000 * kNsPerMs))};
    const int r = ::ppoll(&p, 1, &ts, nullptr);
#endif
    revents = p.revents;
    if (r < 0) {
        errno = nativeError();
        return errno == EINTR ? 0 : -1;
    }
    return r;
}

} // namespace

bool SocketIo::startup()
{
#ifdef Q_OS_WIN
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
#else
    return true;
#endif
}

SocketIo::Handle SocketIo::connectTcp(const QString &host, quint16 port, int timeoutMs, int &err, int &resolveError)
{
    resolveError = 0;
    if (!startup()) {
        err = ENETDOWN;
        return kInvalid;
    }
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const QByteArray service = QByteArray::number(port);
    resolveError = getaddrinfo(host.toUtf8().constData(), service.constData(), &hints, &found);
    if (resolveError != 0) {
        err = EHOSTUNREACH;
        return kInvalid;
    }
    err = ECONNREFUSED;
    Native connected = INVALID_SOCKET;
    for (addrinfo *a = found; a && connected == INVALID_SOCKET; a = a->ai_next) {
        const Native s = newSocket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            err = nativeError();
            continue;
        }
        if (::connect(s, a->ai_addr, Length(a->ai_addrlen)) != 0 && !connectPending()) {
            err = nativeError();
            closeNative(s);
            continue;
        }
        short revents = 0;
        const int ready = pollOne(s, POLLOUT, qint64(timeoutMs) * kNsPerMs, revents);
        int soError = 0;
        Length len = sizeof soError;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&soError), &len);
#ifdef Q_OS_WIN
        soError = posixError(soError);
#endif
        if (ready <= 0 || soError != 0) {
            err = ready == 0 ? ETIMEDOUT : (soError ? soError : errno);
            closeNative(s);
            continue;
        }
        noDelay(s);
        connected = s;
    }
    freeaddrinfo(found);
    return handle(connected);
}

QString SocketIo::resolveErrorText(int resolveError)
{
    return QString::fromLocal8Bit(gai_strerror(resolveError));
}

SocketIo::Handle SocketIo::listenTcp(const QString &ipv4, quint16 port, quint16 &bound, int &err)
{
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    if (inet_pton(AF_INET, ipv4.toLatin1().constData(), &at.sin_addr) != 1) {
        err = EINVAL;
        return kInvalid;
    }
    const Native s = newSocket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        err = nativeError();
        return kInvalid;
    }
#ifdef Q_OS_WIN
    // Windows lets SO_REUSEADDR take a port another program listens on; this keeps it ours.
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&one), sizeof one);
#else
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
    Length len = sizeof at;
    if (::bind(s, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 || ::listen(s, 8) != 0
        || getsockname(s, reinterpret_cast<sockaddr *>(&at), &len) != 0) {
        err = nativeError();
        closeNative(s);
        return kInvalid;
    }
    bound = ntohs(at.sin_port);
    return handle(s);
}

SocketIo::Handle SocketIo::accept(Handle listener)
{
#ifdef Q_OS_WIN
    const Native s = ::accept(native(listener), nullptr, nullptr);
    u_long off = 0; // Winsock hands down the listener's non-blocking mode
    if (s != INVALID_SOCKET)
        ::ioctlsocket(s, FIONBIO, &off);
#else
    const Native s = ::accept4(native(listener), nullptr, nullptr, SOCK_CLOEXEC);
#endif
    if (s != INVALID_SOCKET)
        noDelay(s);
    return handle(s);
}

quint16 SocketIo::unusedLoopbackPort()
{
    const Native s = newSocket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return 0;
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Length len = sizeof at;
    const bool bound = ::bind(s, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0
        && getsockname(s, reinterpret_cast<sockaddr *>(&at), &len) == 0;
    closeNative(s);
    return bound ? ntohs(at.sin_port) : 0;
}

int SocketIo::waitReadable(Handle socket, qint64 timeoutNs)
{
    short revents = 0;
    const int r = pollOne(native(socket), POLLIN, qMax<qint64>(timeoutNs, 0), revents);
    if (r < 0)
        return -1;
    if (r > 0 && (revents & (POLLERR | POLLNVAL | POLLHUP)) && !(revents & POLLIN)) {
        errno = EIO; // the peer is gone (a reset, a dropped connection)
        return -1;
    }
    return r > 0 ? 1 : 0;
}

void SocketIo::waitWritable(Handle socket, int timeoutMs)
{
    short revents = 0;
    pollOne(native(socket), POLLOUT, qint64(timeoutMs) * kNsPerMs, revents);
}

int SocketIo::waitAny(std::vector<Watch> &sockets, int timeoutMs)
{
    std::vector<PollEntry> entries(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        entries[i].fd = native(sockets[i].socket);
        entries[i].events = POLLIN;
    }
    const int r = pollNative(entries.data(), entries.size(), timeoutMs);
    if (r < 0) {
        errno = nativeError();
        return errno == EINTR ? 0 : -1;
    }
    for (std::size_t i = 0; i < sockets.size(); ++i)
        sockets[i].ready = entries[i].revents != 0;
    return r;
}

ssize_t SocketIo::send(Handle socket, const char *data, size_t size)
{
#ifdef Q_OS_WIN
    const int n = ::send(native(socket), data, int(qMin<size_t>(size, 1 << 30)), kNoSignal);
#else
    const ssize_t n = ::send(native(socket), data, size, kNoSignal);
#endif
    if (n < 0)
        errno = nativeError();
    return n;
}

ssize_t SocketIo::recv(Handle socket, char *data, size_t size)
{
#ifdef Q_OS_WIN
    const int n = ::recv(native(socket), data, int(qMin<size_t>(size, 1 << 30)), 0);
#else
    const ssize_t n = ::recv(native(socket), data, size, 0);
#endif
    if (n < 0)
        errno = nativeError();
    return n;
}

void SocketIo::close(Handle socket)
{
    if (socket != kInvalid)
        closeNative(native(socket));
}

QString SocketIo::errorText(int err)
{
#ifdef Q_OS_WIN
    switch (err) {
    case ECONNRESET: return QStringLiteral("Connection reset by peer");
    case ECONNABORTED: return QStringLiteral("Software caused connection abort");
    case ENOTCONN: return QStringLiteral("Transport endpoint is not connected");
    case ETIMEDOUT: return QStringLiteral("Connection timed out");
    case ECONNREFUSED: return QStringLiteral("Connection refused");
    case EHOSTUNREACH: return QStringLiteral("No route to host");
    case ENETUNREACH: return QStringLiteral("Network is unreachable");
    case ENETDOWN: return QStringLiteral("Network is down");
    case EADDRINUSE: return QStringLiteral("Address already in use");
    case EADDRNOTAVAIL: return QStringLiteral("Cannot assign requested address");
    default: break;
    }
#endif
    return QString::fromLocal8Bit(strerror(err));
}
