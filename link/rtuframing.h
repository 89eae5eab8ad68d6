#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The Modbus RTU codec of the master: the frames of functions 3, 6 and 16, their CRC,
// how a reply to each is judged, and where a reply ends, judged from the request it
// answers: its length is known from the function (5 + 2n for a read of n registers,
// 8 for the echo of a write, 5 for an exception), and a frame ends on 3.5 characters
// of silence. Registers are named by number counted from 1; the wire carries number - 1.
class RtuFraming
{
public:
    // Why a transaction failed.
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

    // How a reply ends. Length: once it has the length its request implies, after
    // 3.5 characters of silence; bytes left from before are dropped before each
    // request, and a request waits for that silence after the last reply. Gap: only
    // after the reply gap of silence, nothing dropped, nothing waited for.
    // The values are those the settings have always held.
    enum class Framing : qint32 { Length = 0, Gap = 1 };

    static constexpr int kMinSilenceUs = 1750; // the RTU framing's floor for fast lines
    static constexpr quint8 kFunctionReadHolding = 3;
    static constexpr int kFunctionWriteSingle = 6;
    static constexpr int kFunctionWriteMultiple = 16;
    static constexpr quint8 kExceptionBit = 0x80; // set in the function code of an exception reply
    static constexpr int kMaxReadRegisters = 125;  // Modbus application protocol, function 3
    static constexpr int kMaxWriteRegisters = 123; // Modbus application protocol, function 16
    static constexpr int kMaxSlaveAddress = 247;   // Modbus RTU slave addresses are 1..247
    static constexpr int kCrcSize = 2;             // the CRC that ends every RTU frame
    static constexpr int kCrcException = 255;      // the exception a judge sets for a damaged or short reply

    // Where the fields of a frame lie, in bytes from its start.
    static constexpr int kHeaderSize = 2;         // address, function
    static constexpr int kRegisterOffset = 2;     // requests and write echoes: the (first) register
    static constexpr int kCountOffset = 4;        // read, write-multiple: the register count
    static constexpr int kValueOffset = 4;        // write-single: the value
    static constexpr int kWriteValuesOffset = 7;  // write-multiple request: the values, after the byte count
    static constexpr int kReadValuesOffset = 3;   // read reply: the values, after the byte count

    // 3.5 characters at this speed and frame format, at least kMinSilenceUs.
    static int silenceUs(quint32 baud, int bitsPerCharacter);
    // Bits of one character: start, 8 data, parity, stop bits.
    static int bitsPerCharacter(bool parity, int stopBits);

    // The length the reply has (an echo of the request before it included, where the
    // bytes show one), or 0 while the bytes cannot tell yet.
    static qint64 replyLength(const QByteArray &request, const quint8 *bytes, qint64 size, bool echoPossible);
    // Whether the bytes start with a whole copy of the request.
    static bool startsWithEcho(const QByteArray &request, const quint8 *bytes, qint64 size);
    // A copy of a write-single request is also its reply: only a line known to echo
    // has one before the reply.
    static bool echoPossible(const QByteArray &request, bool lineEchoes);

    // Modbus RTU CRC-16 (poly 0xA001, start 0xFFFF), bit by bit.
    static quint16 crc16(const quint8 *data, qint64 size);
    // Appends the CRC, low byte first.
    static void appendCrc(QByteArray &frame);
    static bool checkCrc(const quint8 *frame, qint64 size);
    // Request frames without CRC.
    static QByteArray readRequest(quint8 slave, quint32 firstRegister, quint16 count);
    static QByteArray writeSingleRequest(quint8 slave, quint32 reg, quint16 value);
    static QByteArray writeMultipleRequest(quint8 slave, quint32 firstRegister, const quint16 *values,
                                           quint16 count);
    // Judges the reply bytes to a request (built by the functions above, CRC appended)
    // as a transaction does, and sets exception as the transaction would. For a read,
    // values (room for the count asked) receive the registers on success only.
    static Failure judge(const QByteArray &request, const quint8 *reply, qint64 size, int &exception,
                         quint16 *values = nullptr);
    static QString failureName(Failure f);

private:
    static Failure judgeRead(const QByteArray &request, const quint8 *reply, qint64 size, int &exception,
                             quint16 *values);
};
