#pragma once

#include "link/line.h"

#include <QString>

// Modbus RTU frames over a raw TCP stream ("tcp://HOST:PORT"), as serial device
// servers carry them in their TCP-server mode. The bytes are the line's bytes, so a
// reply ends as on a serial line; the line's speed and format are the server's own
// and cannot be changed from here. Its socket calls are SocketIo's (POSIX or Winsock).
class TcpLine : public Line
{
public:
    explicit TcpLine(const QByteArray &url, quint16 defaultPort = 0);
    ~TcpLine() override;

    bool open() override;
    bool setSpeed(quint32) override { return true; }
    bool setFormat(Parity, int, bool) override { return true; }
    bool canSetFormat() const override { return false; }
    QString openErrorText() const override;

    const QString &host() const { return hostName; }
    quint16 port() const { return portNumber; }

    // How long a connection may take: the network allowance and a second.
    int connectTimeoutMs() const { return networkAllowanceMs + 1000; }

protected:
    int waitReadable(qint64 timeoutNs) override;
    void waitWritable(int timeoutMs) override;
    ssize_t readSome(char *data, size_t size) override;
    ssize_t writeSome(const char *data, size_t size) override;
    void closeHandle() override;
    void decode(const quint8 *raw, qint64 size) override;
    qint64 totalReadNs() const override;
    qint64 incompleteReplyAllowanceNs() const override { return qint64(networkAllowanceMs) * kNsPerMs; }
    // Once connected: what the protocol on top of TCP needs first (a negotiation).
    virtual bool start() { return true; }

private:
    bool connectTo();

    QString hostName;
    quint16 portNumber = 0;
    bool badName = false;
    int resolveError = 0; // getaddrinfo's, when the name did not resolve
};
