#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <termios.h>

#include "lineoptions.h"
#include "paritymarkdecoder.h"

class QDeadlineTimer;

// One serial line over POSIX termios: the platform layer under ModbusPort.
// Everything above it is platform-neutral; another platform is another
// implementation of this class.
class SerialLine
{
public:
    enum class Parity { None, Even, Odd };

    // Line error flags, as reported by takeLineErrors().
    enum LineError : quint32 {
        RxOverflow = 0x0001,   // input buffer overflow
        Overrun = 0x0002,      // hardware overrun
        ParityError = 0x0004,  // parity error (counted by the driver)
        FramingError = 0x0008, // framing error (counted by the driver)
        Break = 0x0010,        // break received
        MarkedCharacter = 0x0100 // byte marked bad in the stream: parity or framing, driver cannot tell
    };

    struct Timeouts {
        int interByteMs = 250;  // silence that ends a read once a byte arrived
        int totalReadMs = 0;    // limit for the whole read; 0 means none
        int writeMs = 1000;     // limit for a whole write
        int frameSilenceUs = 0; // silence that ends a complete reply (see read); 0: none
    };

    // The length a complete reply has, judged from the bytes received so far;
    // 0 while that cannot be told yet.
    using ReplyLength = std::function<qint64(const quint8 *bytes, qint64 size)>;

    SerialLine() = default;
    ~SerialLine();
    SerialLine(const SerialLine &) = delete;
    SerialLine &operator=(const SerialLine &) = delete;

    // Opens an existing device for exclusive read/write use, non-blocking, asks the
    // driver for low latency where it has a latency timer, and sets the options.
    // A refused RS-485 mode fails the open (rs485Refused() tells).
    bool open(const QByteArray &path, const LineOptions &options = LineOptions());
    bool rs485Refused() const { return rs485Failed; }
    void close();
    bool isOpen() const { return fd >= 0; }

    bool readSettings(termios &settings);
    bool applySettings(const termios &settings);
    static void makeRaw(termios &settings, quint32 baud, Parity parity, int stopBits);
    static bool setParity(termios &settings, Parity parity);
    static bool setStopBits(termios &settings, int stopBits);
    // False for a speed termios has no constant for: use setCustomBaud for it.
    static bool setBaud(termios &settings, quint32 baud);
    // A speed without a termios constant (14400); kept through later applySettings. 0 clears it.
    bool setCustomBaud(quint32 baud);

    // Raises DTR then RTS. Lines without modem control (pseudo-terminals) count as done.
    bool raiseDtr();
    bool raiseRts();

    void setTimeouts(const Timeouts &t) { timeouts = t; }
    const Timeouts &currentTimeouts() const { return timeouts; }

    // A read or write in progress gives up soon after *flag becomes false.
    void setRunningFlag(const std::atomic<bool> *flag) { running = flag; }

    // Writes all bytes within the write time-out; returns the count written (-1 if none).
    qint64 write(const quint8 *data, qint64 size);
    // Reads with the read timing of Timeouts; returns the data bytes received (>= 0), -1 on error.
    // With complete, a reply that has its full length ends after frameSilenceUs of
    // silence instead of interByteMs; bytes within that silence still belong to it.
    qint64 read(quint8 *buffer, qint64 capacity, const ReplyLength &complete = ReplyLength());
    // Drops what has arrived unasked (a late tail, noise) and the errors it carried;
    // returns the bytes dropped.
    QByteArray discardInput();
    // When the last byte came in (nowNs clock); 0 before any.
    qint64 lastReceiveNs() const { return lastReceive; }
    // Returns once the line has been silent for silenceNs since the last byte received,
    // dropping what comes meanwhile (returned), or after limitNs, or at a stop.
    QByteArray waitQuiet(qint64 silenceNs, qint64 limitNs);
    // Monotonic clock of the line's timing, nanoseconds.
    static qint64 nowNs();

    // Line status query: the error flags gathered since the last query; clears them.
    quint32 takeLineErrors();

    // errno of the last failed platform call (0 when none failed).
    int lastError() const { return error; }

    // What to tell the user when open() failed with err, e.g. a missing group membership.
    static QString openErrorText(const QByteArray &path, int err, bool rs485Refused = false);

    // For listings: the kernel driver of a serial device, its USB latency timer in ms
    // (-1 when it has none or cannot be read), and whether its driver takes RS-485
    // mode (-1 when that cannot be asked: the port is in use or cannot be opened).
    struct DriverInfo {
        QString driver;
        int latencyTimerMs = -1;
        int rs485 = -1;
    };
    static DriverInfo driverInfo(const QString &path);

    // Poll slice while waiting, so that a cleared running flag is seen quickly.
    static constexpr int kStopCheckMs = 50;
    static constexpr qint64 kNsPerMs = 1000000;
    static constexpr qint64 kNsPerSecond = 1000000000;

private:
    bool fail(int err);
    void requestLowLatency();
    bool setRs485(const LineOptions &options);
    bool drain(const QDeadlineTimer &deadline);
    bool stopRequested() const;
    int waitReadable(qint64 timeoutNs);
    int fill();
    qint64 silenceAllowedNs(const quint8 *buffer, qint64 got, const ReplyLength &complete) const;
    void collectDriverCounters();
    static QString permissionText(const QString &path);

    int fd = -1;
    int error = 0;
    quint32 customBaud = 0;
    bool exclusiveSet = false;
    bool rs485Failed = false;
    Timeouts timeouts;
    const std::atomic<bool> *running = nullptr;
    ParityMarkDecoder decoder;
    QByteArray pending; // decoded bytes beyond what the last read could take; dropped only by discardInput
    qint64 lastReceive = 0;
    quint32 pendingErrors = 0;
    bool haveCounters = false;
    int lastFrame = 0, lastParity = 0, lastOverrun = 0, lastBufOverrun = 0, lastBrk = 0;
};
