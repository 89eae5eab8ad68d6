#include "link/rtuframing.h"

#include <QtEndian>

#include <cstring>

namespace {
constexpr int kMinFrame = 4;         // address, function, CRC
constexpr int kExceptionFrame = 5;   // address, function | 0x80, code, CRC
constexpr int kWriteReply = 8;       // address, function, register, value or count, CRC
constexpr int kReadOverhead = 5;     // address, function, byte count, CRC
constexpr int kEchoBytes = 6;        // address, function, register, value
constexpr int kReadRequestBytes = 6; // address, function, first register, count

void putWord(QByteArray &frame, quint16 v)
{
    frame.append(char(v >> 8));
    frame.append(char(v & 0xFF));
}

quint16 wireAddress(quint32 reg)
{
    return quint16((reg & 0xFFFF) - 1);
}

int requestCount(const QByteArray &request)
{
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(request.constData()) + RtuFraming::kCountOffset);
}
} // namespace

int RtuFraming::bitsPerCharacter(bool parity, int stopBits)
{
    return 1 + 8 + (parity ? 1 : 0) + stopBits;
}

int RtuFraming::silenceUs(quint32 baud, int bitsPerCharacter)
{
    if (baud == 0)
        return kMinSilenceUs;
    const qint64 us = (qint64(bitsPerCharacter) * 3500000 + baud - 1) / baud; // 3.5 characters, rounded up
    return int(qMax<qint64>(us, kMinSilenceUs));
}

bool RtuFraming::startsWithEcho(const QByteArray &request, const quint8 *bytes, qint64 size)
{
    return size >= request.size() && std::memcmp(bytes, request.constData(), size_t(request.size())) == 0;
}

bool RtuFraming::echoPossible(const QByteArray &request, bool lineEchoes)
{
    return request.size() > 1 && (quint8(request[1]) != kFunctionWriteSingle || lineEchoes);
}

qint64 RtuFraming::replyLength(const QByteArray &request, const quint8 *bytes, qint64 size, bool echoPossible)
{
    if (request.size() < 6)
        return 0;
    qint64 offset = 0;
    if (echoPossible) {
        const qint64 compared = qMin<qint64>(size, request.size());
        if (std::memcmp(bytes, request.constData(), size_t(compared)) == 0) {
            if (size < request.size())
                return 0; // a copy of the request so far, or a reply that starts like one
            offset = request.size();
        }
    }
    if (size - offset < 2)
        return 0;
    if (bytes[offset + 1] & kExceptionBit)
        return offset + kExceptionFrame;
    if (quint8(request[1]) != kFunctionReadHolding)
        return offset + kWriteReply;
    return offset + kReadOverhead + 2 * requestCount(request);
}

quint16 RtuFraming::crc16(const quint8 *data, qint64 size)
{
    quint16 crc = 0xFFFF;
    for (qint64 i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

void RtuFraming::appendCrc(QByteArray &frame)
{
    const quint16 crc = crc16(reinterpret_cast<const quint8 *>(frame.constData()), frame.size());
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
}

bool RtuFraming::checkCrc(const quint8 *frame, qint64 size)
{
    if (size < kCrcSize)
        return false;
    const quint16 crc = crc16(frame, size - kCrcSize);
    return frame[size - 2] == (crc & 0xFF) && frame[size - 1] == (crc >> 8);
}

QByteArray RtuFraming::readRequest(quint8 slave, quint32 firstRegister, quint16 count)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(kFunctionReadHolding));
    putWord(f, wireAddress(firstRegister));
    putWord(f, count);
    return f;
}

QByteArray RtuFraming::writeSingleRequest(quint8 slave, quint32 reg, quint16 value)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(kFunctionWriteSingle));
    putWord(f, wireAddress(reg));
    putWord(f, value);
    return f;
}

QByteArray RtuFraming::writeMultipleRequest(quint8 slave, quint32 firstRegister, const quint16 *values,
                                            quint16 count)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(kFunctionWriteMultiple));
    putWord(f, wireAddress(firstRegister));
    putWord(f, count);
    f.append(char(quint8(count * 2)));
    for (quint16 i = 0; i < count; ++i)
        putWord(f, values[i]);
    return f;
}

// Every reply of a transaction goes through here: the receive steps that look at the bytes, then the
// function's own judging. Reads only the size bytes given; values are written only
// for a sound read reply.
RtuFraming::Failure RtuFraming::judge(const QByteArray &request, const quint8 *reply, qint64 size, int &exception,
                                      quint16 *values)
{
    exception = 0;
    if (request.size() < kMinFrame)
        return Failure::BadRequest;
    if (size <= 0)
        return Failure::NoAnswer;
    const quint8 address = quint8(request[0]);
    if (address != 0 && reply[0] != address)
        return Failure::WrongAddress;
    if (size < kMinFrame || !checkCrc(reply, size)) {
        exception = kCrcException;
        return size < kMinFrame ? Failure::ShortReply : Failure::CrcError;
    }
    if (reply[1] & kExceptionBit) {
        exception = size < kExceptionFrame ? kCrcException : reply[2];
        return size < kExceptionFrame ? Failure::ShortReply : Failure::Exception;
    }
    switch (quint8(request[1])) {
    case kFunctionReadHolding:
        return judgeRead(request, reply, size, exception, values);
    case kFunctionWriteSingle:
        if (size < kEchoBytes + kCrcSize) {
            exception = kCrcException;
            return Failure::ShortReply;
        }
        return memcmp(reply, request.constData(), kEchoBytes) == 0 ? Failure::None : Failure::EchoMismatch;
    default:
        return Failure::None; // function 16: a sound frame without exception
    }
}

// Values come from byte 3 on, as many as were asked for; the byte-count field is not trusted.
RtuFraming::Failure RtuFraming::judgeRead(const QByteArray &request, const quint8 *reply, qint64 size,
                                          int &exception, quint16 *values)
{
    if (request.size() < kReadRequestBytes)
        return Failure::BadRequest;
    const int count = requestCount(request);
    if (size < qint64(kReadValuesOffset + 2 * count + kCrcSize)) {
        exception = kCrcException;
        return Failure::ShortReply;
    }
    for (int i = 0; values && i < count; ++i)
        values[i] = qFromBigEndian<quint16>(reply + kReadValuesOffset + 2 * i);
    return Failure::None;
}

QString RtuFraming::failureName(Failure f)
{
    switch (f) {
    case Failure::None: return QStringLiteral("no error");
    case Failure::NotOpen: return QStringLiteral("port cannot be opened");
    case Failure::BadRequest: return QStringLiteral("register count out of range");
    case Failure::WriteFailed: return QStringLiteral("write to the port failed");
    case Failure::LineError: return QStringLiteral("line error");
    case Failure::NoAnswer: return QStringLiteral("no answer");
    case Failure::WrongAddress: return QStringLiteral("answer from another address");
    case Failure::ShortReply: return QStringLiteral("answer too short");
    case Failure::CrcError: return QStringLiteral("CRC error");
    case Failure::Exception: return QStringLiteral("Modbus exception");
    case Failure::EchoMismatch: return QStringLiteral("echo mismatch");
    case Failure::Cancelled: return QStringLiteral("cancelled");
    }
    return QString();
}
