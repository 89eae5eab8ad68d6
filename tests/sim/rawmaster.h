#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// A bare master for what ModbusPort will not send (other functions, broken frames)
// and for timing each received byte. Raw line settings, no byte escaping.
class RawMaster
{
public:
    RawMaster() = default;
    ~RawMaster();
    RawMaster(const RawMaster &) = delete;
    RawMaster &operator=(const RawMaster &) = delete;

    // Opens path; with configure, sets raw mode at baud and format (0 8E1, 1 8O1, 2/3 two stop bits),
    // otherwise leaves the line's settings as they are.
    bool open(const QString &path, bool configure = true, quint32 baud = 19200, int format = 0);
    // Serves an already open descriptor (the master side of a test's own pty); closes it at the end.
    void adopt(int descriptor);
    void close();

    bool send(const QByteArray &bytes);
    static QByteArray withCrc(QByteArray frame);
    // Bytes until expected have arrived or timeoutMs has passed; arrival times on the
    // monotonic clock in ns, one per byte, if asked for.
    QByteArray receive(int expected, int timeoutMs, QVector<qint64> *arrivals = nullptr);

    static qint64 nowNs();

private:
    int fd = -1;
};
