#pragma once

#include "link/line.h"
#include "link/lineerrors.h"
#include "link/lineoptions.h"
#include "link/paritymarkdecoder.h"

#include <termios.h>

// A local serial port over POSIX termios: exclusive use, raw 8-bit, parity and stop
// bits per frame format, DTR and RTS raised, bytes with parity or framing errors
// marked in the stream and counted (LineErrors). Windows has Win32SerialLine instead.
class SerialLine : public Line
{
public:
    explicit SerialLine(const QByteArray &path) : Line(path) {}
    ~SerialLine() override;

    // For the next open: the port's options (RS-485 mode).
    void setOptions(const LineOptions &o) override { options = o; }

    // Opens the existing device for exclusive use, non-blocking, asks the driver for
    // low latency where it has a latency timer, sets the options, then 19200 bit/s,
    // 8 data bits, even parity, 1 stop bit, raw. A refused RS-485 mode fails the open.
    bool open() override;
    void close() override;
    bool setSpeed(quint32 baud) override;
    bool setFormat(Parity parity, int stopBits, bool keep = false) override;
    bool raiseModemLines() override;
    quint32 takeLineErrors() override;
    QString openErrorText() const override;
    // What to tell the user when a device path failed to open with err.
    static QString openErrorText(const QByteArray &path, int err);

    // termios for a raw 8-bit line; false from setBaud for a speed without a constant.
    static void makeRaw(termios &settings, quint32 baud, Parity parity, int stopBits);
    static bool setBaud(termios &settings, quint32 baud);
    // The output speed of the open line fd in bit/s, however it was set: through
    // termios2, or termios' own speeds where the termios2 ioctls are unknown (qemu-user
    // 7.2 passes none on); 0 if unknown.
    static quint32 speedOf(int fd);

protected:
    void decode(const quint8 *raw, qint64 size) override;
    bool drain(const QDeadlineTimer &deadline) override;
    int waitReadable(qint64 timeoutNs) override;
    void waitWritable(int timeoutMs) override;
    ssize_t readSome(char *data, size_t size) override;
    ssize_t writeSome(const char *data, size_t size) override;
    void closeHandle() override;

private:
    int descriptor() const { return int(fd); }
    bool configure();
    bool applySettings();
    bool setCustomBaud(quint32 baud);
    void requestLowLatency();
    bool setRs485();
    void collectDriverCounters();
    static QString permissionText(const QString &path);

    LineOptions options;
    termios settings {};
    quint32 customBaud = 0;
    bool exclusiveSet = false;
    bool rs485Failed = false;
    ParityMarkDecoder decoder;
    quint32 pendingErrors = 0;
    bool haveCounters = false;
    int lastFrame = 0, lastParity = 0, lastOverrun = 0, lastBufOverrun = 0, lastBrk = 0;
};
