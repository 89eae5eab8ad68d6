#pragma once

#include "link/lineoptions.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <sys/types.h>

class QDeadlineTimer;

// One line to a Modbus RTU bus, as ModbusPort sees it: bytes out, bytes in with the
// read timing below, the line's own settings and errors. The timing lives here; how
// bytes reach the bus lives in the subclasses: a local serial port (SerialLine), a
// raw TCP stream to a serial device server (TcpLine), the same with COM-port control
// (Rfc2217Line), or a Modbus TCP gateway (ModbusTcpLine); on Windows the local port
// is a Win32SerialLine. Everything above the line is the same code for all of them.
class Line
{
public:
    enum class Parity { None, Even, Odd };

    struct Timeouts {
        int interByteMs = 250;  // silence that ends a read once a byte arrived
        int totalReadMs = 0;    // limit for the whole read; 0 means none
        int writeMs = 1000;     // limit for a whole write
        int frameSilenceUs = 0; // silence that ends a complete reply (see read); 0: none
    };

    // The length a complete reply has, judged from the bytes received so far;
    // 0 while that cannot be told yet.
    using ReplyLength = std::function<qint64(const quint8 *bytes, qint64 size)>;

    // The schemes of the names of network lines (LineFactory makes the line of a name):
    // "tcp://HOST:PORT", "rfc2217://HOST:PORT", "modbus-tcp://HOST[:PORT]"; any
    // other name is a serial device path.
    static constexpr const char *kTcpScheme = "tcp://";
    static constexpr const char *kRfc2217Scheme = "rfc2217://";
    static constexpr const char *kModbusTcpScheme = "modbus-tcp://";
    static bool isNetworkName(const QString &name);

    // A descriptor, a socket or a Windows handle: whatever the subclass waits on.
    using Handle = qintptr;
    static constexpr Handle kNoHandle = -1;

    virtual ~Line();
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    virtual bool open() = 0;
    virtual void close();
    bool isOpen() const { return fd >= 0; }
    // For the next open: the port's options (RS-485 mode); lines without them ignore them.
    virtual void setOptions(const LineOptions &) {}

    // Speed and frame format: set on a serial port or on a device server that takes
    // them; lines that cannot change them accept and ignore them (canSetFormat).
    virtual bool setSpeed(quint32 baud) = 0;
    // parity and stop bits; keep (true) leaves them as they are but applies them again.
    virtual bool setFormat(Parity parity, int stopBits, bool keep = false) = 0;
    virtual bool canSetFormat() const { return true; }
    // Raises DTR then RTS. Lines without modem control count as done.
    virtual bool raiseModemLines() { return true; }

    void setTimeouts(const Timeouts &t) { timeouts = t; }
    // Added to the total read time-out of lines across a network.
    void setNetworkAllowance(int ms) { networkAllowanceMs = ms; }

    // A read or write in progress gives up soon after *flag becomes false.
    void setRunningFlag(const std::atomic<bool> *flag) { running = flag; }

    // Writes a whole RTU frame within the write time-out, and returns once it has left;
    // the count written (-1 if none).
    qint64 write(const quint8 *data, qint64 size);
    // Reads with the read timing of Timeouts; returns the data bytes received (>= 0), -1 on error.
    // With complete, a reply that has its full length ends after frameSilenceUs of
    // silence instead of interByteMs; bytes within that silence still belong to it.
    qint64 read(quint8 *buffer, qint64 capacity, const ReplyLength &complete = ReplyLength());
    // Drops what has arrived unasked (a late tail, noise) and the errors it carried,
    // up to kDiscardLimit bytes at once: a peer that never stops is left to waitQuiet.
    // False when the line failed meanwhile (lastError tells; an ended connection is EIO).
    bool discardInput();
    enum class Quiet {
        Silent,  // silent for the time asked
        Talking, // still receiving when the limit came
        Failed,  // the line failed, or its other end has gone (lastError tells)
        Stopped  // the running flag was cleared
    };
    // Waits until the line has been silent for silenceNs since the last byte received,
    // dropping what comes meanwhile, for at most limitNs.
    Quiet waitQuiet(qint64 silenceNs, qint64 limitNs);
    // What was dropped unread since the last call: how many bytes and the newest of them.
    struct Dropped {
        static constexpr int kTailBytes = 32; // enough to recognise a frame in a trace
        quint64 count = 0;
        QByteArray tail;
        void add(const char *data, qint64 size);
    };
    Dropped takeDropped();
    // Received bytes held for the next read; never more than kPendingLimit.
    int pendingBytes() const { return pending.size(); }
    // When the last byte came in (nowNs clock).
    qint64 lastReceiveNs() const { return lastReceive; }
    // Monotonic clock of the line's timing, nanoseconds.
    static qint64 nowNs();

    // Line status query: the error flags gathered since the last query; clears them.
    virtual quint32 takeLineErrors() { return 0; }
    // errno of the last failed call (0 when none failed).
    int lastError() const { return error; }
    // Whether err means the line is gone for good (a pulled adapter, a dropped
    // connection): the owner closes it and opens it again.
    static bool isGone(int err);
    // What to tell the user when open() failed.
    virtual QString openErrorText() const = 0;
    // The name it was created with.
    const QByteArray &name() const { return lineName; }

    // Poll slice while waiting, so that a cleared running flag is seen quickly.
    static constexpr int kStopCheckMs = 50;
    static constexpr qint64 kNsPerMs = 1000000;
    static constexpr qint64 kNsPerSecond = 1000000000;
    static constexpr int kLargestFrame = 256;               // Modbus RTU ADU limit
    static constexpr int kPendingLimit = 2 * kLargestFrame; // an adapter's copy of a request, then its reply
    static constexpr int kDiscardLimit = 64 * 1024;         // well beyond any late reply

protected:
    explicit Line(const QByteArray &name) : lineName(name) {}

    // Outgoing frame as the transport carries it (a Modbus TCP header, escaped bytes).
    virtual QByteArray encode(const quint8 *frame, qint64 size) { return QByteArray(reinterpret_cast<const char *>(frame), int(size)); }
    // Incoming transport bytes into RTU bytes, appended to pending; bytes that carry
    // nothing (not of the protocol) go to dropped.
    virtual void decode(const quint8 *raw, qint64 size) = 0;
    // How the transport waits, moves and releases bytes; the timing above is built on them.
    // 1 once bytes (or the end) can be read, 0 when none came within timeoutNs, -1 with
    // errno when the line failed.
    virtual int waitReadable(qint64 timeoutNs) = 0;
    // Waits at most timeoutMs for room to write after a short write.
    virtual void waitWritable(int timeoutMs) = 0;
    // As read(2) and write(2): -1 with errno (EAGAIN: nothing now), 0 read at the end of the line.
    virtual ssize_t readSome(char *data, size_t size) = 0;
    virtual ssize_t writeSome(const char *data, size_t size) = 0;
    // Releases fd (open); fd is reset by close().
    virtual void closeHandle() = 0;
    // After the bytes were handed to the kernel: until they have left the machine.
    virtual bool drain(const QDeadlineTimer &) { return true; }
    // The total read time-out with what the transport adds to it.
    virtual qint64 totalReadNs() const;
    // Silence beyond the reply gap that a reply still short of its length may have.
    virtual qint64 incompleteReplyAllowanceNs() const { return 0; }
    // Called once the descriptor is open: a fresh start of the timing and the input.
    void opened(Handle handle);
    bool fail(int err);
    bool stopRequested() const;

    Handle fd = kNoHandle;
    int error = 0;
    int networkAllowanceMs = 0;
    Timeouts timeouts;
    QByteArray pending; // received bytes beyond what the last read could take, at most kPendingLimit
    Dropped dropped;

private:
    int fill();
    void dropPending();
    qint64 silenceAllowedNs(const quint8 *buffer, qint64 got, const ReplyLength &complete) const;

    const QByteArray lineName;
    const std::atomic<bool> *running = nullptr;
    qint64 lastReceive = 0;
};
