#pragma once

#include "link/framelog.h"
#include "link/line.h"
#include "link/lineoptions.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <memory>

// Modbus RTU master on one serial line, one slave at a time: functions 3, 6 and 16.
// Registers are named by number counted from 1; the wire carries number - 1.
// All operations return false on failure and leave the reason in the error fields;
// nothing throws and nothing is retried here.
class ModbusPort
{
public:
    // Why the last transaction failed, in more detail than the three error fields.
    enum class Failure {
        None,
        NotOpen,       // open failed or the port is closed
        BadRequest,    // register count outside the protocol limits; nothing sent
        WriteFailed,   // fewer bytes written than the request length
        LineError,     // parity/framing/overrun flags were pending at the receive
        NoAnswer,      // no byte before the read time-out, or a reply it cut part-way
                       // (replyCut); or the line has gone, or never fell silent for a
                       // request (systemError EBUSY), and nothing was sent
        WrongAddress,  // the answer came from another slave
        ShortReply,    // too few bytes for what judging needs (exception = 255)
        CrcError,      // exception = 255
        Exception,     // Modbus exception reply; exception = its code
        EchoMismatch,  // function 6 answer is not the echo of the request
        Cancelled      // the owner's running flag was cleared while waiting
    };

    // Frame format codes; data bits are always 8.
    enum FrameFormat { Format8E1 = 0, Format8O1 = 1, Format8N15 = 2, Format8N2 = 3 };

    // How a reply ends. Length: once it has the length its request implies, after
    // 3.5 characters of silence; bytes left from before are dropped before each
    // request, and a request waits for that silence after the last reply. Gap: only
    // after the reply gap of silence (250 ms), nothing dropped, nothing waited for.
    enum class Framing { Length, Gap };

    static constexpr quint32 kDefaultBaud = 19200;
    static constexpr int kResponseBuffer = 255;       // Modbus RTU ADU limit
    static constexpr int kInterByteGapMs = 250;       // silence that ends a response
    static constexpr int kWriteTimeoutMs = 1000;
    static constexpr int kMaxReadRegisters = 125;     // Modbus application protocol, function 3
    static constexpr int kMaxWriteRegisters = 123;    // Modbus application protocol, function 16
    static constexpr int kCrcSize = 2;                // the CRC that ends every RTU frame
    static constexpr int kCrcException = 255;
    static constexpr int kMaxSlaveAddress = 247;      // Modbus RTU slave addresses are 1..247

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

    // Modbus RTU CRC-16 (poly 0xA001, start 0xFFFF), bit by bit.
    static quint16 crc16(const quint8 *data, qint64 size);
    // Appends the CRC, low byte first.
    static void appendCrc(QByteArray &frame);
    static bool checkCrc(const quint8 *frame, qint64 size);
    // Request frames without CRC, exposed for tests and tools.
    static QByteArray readRequest(quint8 slave, quint32 firstRegister, quint16 count);
    static QByteArray writeSingleRequest(quint8 slave, quint32 reg, quint16 value);
    static QByteArray writeMultipleRequest(quint8 slave, quint32 firstRegister, const quint16 *values,
                                           quint16 count);
    static QString failureName(Failure f);
    // Judges the reply bytes to a request (built by the functions above, CRC appended)
    // as a transaction does, and sets exception as the transaction would. For a read,
    // values (room for the count asked) receive the registers on success only.
    static Failure judge(const QByteArray &request, const quint8 *reply, qint64 size, int &exception,
                         quint16 *values = nullptr);

private:
    struct Reply {
        quint8 bytes[kResponseBuffer];
        qint64 size = 0;
    };

    void startTransaction();
    bool exchange(QByteArray request, quint16 *values = nullptr);
    bool prepareLine();
    bool transact(const QByteArray &request, Reply &reply);
    bool receive(const QByteArray &request, Reply &reply);
    bool skipEcho(const QByteArray &request, Reply &reply);
    bool replyCut(const QByteArray &request, const Reply &reply, qint64 readNs, bool echoPossible);
    void applyTimeouts();
    static Failure judgeRead(const QByteArray &request, const quint8 *reply, qint64 size, int &exception,
                             quint16 *values);
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
};
