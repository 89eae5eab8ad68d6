#pragma once

#include <QString>
#include <QtGlobal>

#include <sys/types.h>
#include <vector>

// The few socket calls the network lines and the simulator's servers make, one code
// path over POSIX sockets and Winsock. Sockets are non-blocking; failures come back as
// -1 (or kInvalid) with errno set to the POSIX value (ECONNRESET, ETIMEDOUT, ...), so
// that Line::isGone and the error texts judge them alike on both.
class SocketIo
{
public:
    using Handle = qintptr;
    static constexpr Handle kInvalid = -1;

    // Winsock must be started once per process before the first socket; the calls below
    // do it themselves. Nothing to do elsewhere.
    static bool startup();

    // A TCP connection to host:port, address after address, each within timeoutMs, with
    // Nagle off so that a request goes out whole at once. On failure kInvalid, err the
    // errno, and resolveError the resolver's code when the name did not resolve.
    static Handle connectTcp(const QString &host, quint16 port, int timeoutMs, int &err, int &resolveError);
    static QString resolveErrorText(int resolveError);

    // A listening TCP socket on an IPv4 address (port 0: any free one); bound is the port taken.
    static Handle listenTcp(const QString &ipv4, quint16 port, quint16 &bound, int &err);
    // A waiting connection, Nagle off; kInvalid when none. Blocking, unlike the others:
    // a server's short replies go out whole.
    static Handle accept(Handle listener);
    // A loopback port nobody listens on now (the system's pick, released at once).
    static quint16 unusedLoopbackPort();

    // 1 once the socket can be read (bytes or the end), 0 when nothing came within
    // timeoutNs, -1 with errno when it failed (EIO: the peer is gone).
    static int waitReadable(Handle socket, qint64 timeoutNs);
    static void waitWritable(Handle socket, int timeoutMs);
    // Of several sockets, which can be read (or have failed) within timeoutMs; the count
    // of those, -1 with errno on failure.
    struct Watch {
        Handle socket = kInvalid;
        bool ready = false;
    };
    static int waitAny(std::vector<Watch> &sockets, int timeoutMs);

    // As send(2) and recv(2): never a signal for a dropped peer.
    static ssize_t send(Handle socket, const char *data, size_t size);
    static ssize_t recv(Handle socket, char *data, size_t size);
    static void close(Handle socket);

    // The text of an errno value, socket errors included (the C library of Windows
    // knows none of them).
    static QString errorText(int err);
};
