#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>
#ifndef Q_OS_WIN
#include <termios.h>
#endif

class SimWake;

// The simulator's end of the serial line: the master side of a pseudo-terminal, or a
// real serial port (on Windows only that: a COM port, e.g. one of a null-modem pair).
// Collects request frames by Modbus RTU timing and sends replies at the pace of a
// real line.
class SimLine
{
public:
    enum class Wait { Frame, Stopped, Failed };

    // When each byte of a reply goes out: byte i at startNs + i x charNs, plus pauseNs
    // from byte splitAt on (-1: no pause).
    struct Pacing {
        qint64 startNs = 0;
        qint64 charNs = 0;
        int splitAt = -1;
        qint64 pauseNs = 0;
    };

    static constexpr int kBitsPerCharacter = 11; // start, 8 data, parity or second stop, stop
    static constexpr quint32 kFixedSilenceAbove = 19200; // Modbus serial line: fixed timing above this speed
    static constexpr qint64 kFixedSilenceNs = 1750000;   // Modbus serial line: 1.75 ms frame gap there
    static constexpr quint32 kDefaultBaud = 19200;

    SimLine();
    ~SimLine();
    SimLine(const SimLine &) = delete;
    SimLine &operator=(const SimLine &) = delete;

    // A new pseudo-terminal whose slave side starts raw at baud and format; symlinkPath,
    // when not empty, becomes a symbolic link to that slave. Fails on Windows.
    bool openPty(const QString &symlinkPath, quint32 baud, int format);
    // An existing serial port, configured raw at baud and format.
    bool openTty(const QString &path, quint32 baud, int format);
    void close();
    bool isOpen() const { return fd >= 0; }
    QString path() const { return linePath; }
    QString symlinkPath() const { return link; }
    QString errorString() const { return error; }

    // Whether the master's speed and frame format are these (a device hears only then).
    bool settingsMatch(quint32 baud, int format) const;
    // One request: bytes until a silence of 3.5 characters after the last of them
    // has passed the line; endNs is when that silence ended.
    Wait readFrame(const SimWake &stop, QByteArray &frame, qint64 &endNs);
    // One byte per write, each at its own time; false if stopped or the line failed.
    bool send(const QByteArray &bytes, const Pacing &pacing, const std::atomic<bool> &stopping);

    static qint64 characterNs(quint32 baud);
    static qint64 silenceNs(quint32 baud);
    static qint64 nowNs();
#ifndef Q_OS_WIN
    // Format seen in termios flags: a pty hides the parity enable flag, so 8N1 reads as 8E1.
    static int formatOf(const termios &settings);
#endif
    // 8N15 and 8N2 are the same on the line; kAnyFormat is the same as every format.
    static bool sameFormat(int a, int b);
    static constexpr int kAnyFormat = -1;

private:
    enum Ready { Nothing, Input, Stop, Broken };
    struct Timing {
        qint64 charNs = 0;
        qint64 silenceNs = 0;
        qint64 lineFreeNs = 0; // when the last byte received so far has passed the line
    };

    bool fail(const QString &what, int err = 0);
    bool configure(int lineFd, quint32 baud, int format);
    bool makeLink(const QString &symlinkPath);
    quint32 lineBaud() const;
    Ready waitInput(const SimWake &stop, qint64 timeoutNs);
    bool takeInput(QByteArray &frame);
    void collect(QByteArray &frame, const char *bytes, qint64 n);
    bool writeByte(quint8 byte);               // POSIX: one byte at its time
    bool writeBytes(const char *bytes, int size); // Windows: a part of a reply at once
    static bool sleepUntil(qint64 atNs, const std::atomic<bool> &stopping);

    qintptr fd = -1;  // pty master, or the serial port (a HANDLE on Windows)
    int slaveFd = -1; // keeps the pty and its settings alive while the master program reopens it
#ifdef Q_OS_WIN
    struct Port; // the port's overlapped read and write
    std::unique_ptr<Port> port;
#endif
    bool pty = false;
    quint32 ttyBaud = kDefaultBaud;
    int ttyFormat = 0;
    QString linePath;
    QString link;
    QString error;
    Timing timing;
};
