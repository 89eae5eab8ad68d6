#pragma once

#include "link/framelog.h"
#include "link/line.h"
#include "link/lineoptions.h"
#include "link/rtuframing.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>

// Modbus RTU master on one line, one slave at a time: functions 3, 6 and 16, framed
// and judged by RtuFraming.
// Registers are named by number counted from 1; the wire carries number - 1.
// All operations return false on failure and leave the reason in the error fields;
// nothing throws and nothing is retried here.
class ModbusPort
{
public:
    // Why the last transaction failed, in more detail than the three error fields.
    using Failure = RtuFraming::Failure;

    // Frame format codes; data bits are always 8.
    enum FrameFormat { Format8E1 = 0, Format8O1 = 1, Format8N15 = 2, Format8N2 = 3 };

    // How a reply ends (the reply gap is kInterByteGapMs here).
    using Framing = RtuFraming::Framing;

    static constexpr quint32 kDefaultBaud = 19200;
    static constexpr int kResponseBuffer = 255;       // Modbus RTU ADU limit
    static constexpr int kInterByteGapMs = 250;       // silence that ends a response
    static constexpr int kWriteTimeoutMs = 1000;
    // The protocol's limits of a transaction and of a slave's address.
    static constexpr int kMaxReadRegisters = RtuFraming::kMaxReadRegisters;
    static constexpr int kMaxWriteRegisters = RtuFraming::kMaxWriteRegisters;
    static constexpr int kMaxSlaveAddress = RtuFraming::kMaxSlaveAddress;

    explicit ModbusPort(const QByteArray &devicePath);
    ~ModbusPort();
    ModbusPort(const ModbusPort &) = delete;
    ModbusPort &operator=(const ModbusPort &) = delete;

    // Options of the port (RS-485 mode) for the next open.
    void setLineOptions(const LineOptions &o) { options = o; }
    bool open();
    void close();
    bool isOpen() const { return line->isOpen(); }

    bool setFrameFormat(int code);
    // False on a network line whose server keeps its own speed and format.
    bool canSetFrameFormat() const;
    // Added to the read time-out on a network line, and to a second for its connection.
    void setNetworkAllowance(int ms);
    bool setSpeed(quint32 baud);
    bool setReadTimeout(int ms);
    // The silence that ends a reply (kInterByteGapMs unless a test or tool shortens it);
    // with length framing it still ends a reply that is not complete.
    void setReplyGap(int ms);
    void setFraming(Framing f);
    Framing framing() const { return frameEnd; }
    // A pause before each request beyond the line's own silence, for slow devices.
    void setExtraPause(int ms) { extraPauseMs = qMax(0, ms); }
    // The silence of 3.5 characters at the current speed and format.
    int frameSilenceUs() const;

    // Every frame goes to the observer too (not owned; the port's thread calls it).
    void setObserver(FrameObserver *observer) { log.setObserver(observer); }
    // A value written to this register by function 6 is never shown in clear.
    void setMaskedRegister(quint32 reg) { log.setMaskedRegister(reg); }
    const LinkStatistics &statistics() const { return log.statistics(); }
    // Learned from the replies: the adapter sends back a copy of every request.
    bool lineEchoes() const { return echoes; }
    // The last failure came from a line that is gone (a pulled adapter, a connection
    // that ended or was reset, a network line that never falls silent): it is closed
    // by then, and the owner opens it again.
    bool lineGone() const;

    void setSlaveAddress(quint8 address) { slave = address; }
    quint8 slaveAddress() const { return slave; }
    int readTimeout() const { return readTimeoutMs; }

    // Called before each transaction of the port's owner, from its thread: other
    // masters' requests go to the line there, between the owner's own. What the call
    // itself sends through this port does not call it again.
    void setBetweenTransactions(std::function<void()> call) { between = std::move(call); }

    bool readRegisters(quint32 firstRegister, quint32 byteCount, void *destination);
    bool writeRegister(quint32 reg, quint16 value);
    bool writeRegisters(quint32 firstRegister, quint32 byteCount, const void *source);

    int systemError() const { return sysError; }
    quint32 lineErrors() const { return lineErrorFlags; }
    int exception() const { return exceptionCode; }
    Failure failure() const { return lastFailure; }
    // The last failure was a reply the read time-out ended part-way (an incomplete reply).
    bool replyCut() const { return cutBytes > 0; }
    // One line naming the reason of the last failure, for logs and the command line.
    QString errorString() const;

    int frameFormat() const { return format; }
    quint32 speed() const { return baud; }
    const QByteArray &devicePath() const { return path; }

    // Waits on the line end soon after *flag is cleared (the owner's stop).
    void setRunningFlag(const std::atomic<bool> *flag) { line->setRunningFlag(flag); }

private:
    struct Reply {
        quint8 bytes[kResponseBuffer];
        qint64 size = 0;
    };

    void startTransaction();
    void serveBetween();
    bool exchange(QByteArray request, quint16 *values = nullptr);
    bool prepareLine();
    bool transact(const QByteArray &request, Reply &reply);
    bool receive(const QByteArray &request, Reply &reply);
    bool skipEcho(const QByteArray &request, Reply &reply);
    bool replyCut(const QByteArray &request, const Reply &reply, qint64 readNs, bool echoPossible);
    void applyTimeouts();
    bool failWith(Failure f);
    bool openFailed();
    bool lineFailed();

    QByteArray path;
    LineOptions options;
    std::unique_ptr<Line> line;
    int format = Format8E1;
    bool parityOn = true;
    int stopBits = 1;
    int networkAllowanceMs = 0;
    quint32 baud = kDefaultBaud;
    int readTimeoutMs = 0;
    int replyGapMs = kInterByteGapMs;
    Framing frameEnd = Framing::Length;
    int extraPauseMs = 0;
    bool echoes = false;
    bool freshLine = false;
    qint64 sentNs = 0;
    FrameLog log;
    quint8 slave = 0;
    int sysError = 0;
    quint32 lineErrorFlags = 0;
    int exceptionCode = 0;
    Failure lastFailure = Failure::None;
    int cutBytes = 0;  // bytes of a reply the read time-out cut
    int cutLength = 0; // the length it should have had, 0 when not known yet
    std::function<void()> between;
    bool inBetween = false;
};
