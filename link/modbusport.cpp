#include "link/modbusport.h"

#include "link/linklog.h"
#include "link/rtuframing.h"
#include "link/serialline.h"

#include <QDateTime>
#include <QtEndian>

#include <cerrno>
#include <cstring>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN,
              "register blocks overlay 32-bit fields on 16-bit words, low word first");

namespace {

constexpr int kMinFrame = 4;           // address, function, CRC
constexpr int kExceptionFrame = 5;     // address, function | 0x80, code, CRC
constexpr int kEchoBytes = 6;          // address, function, register, value
constexpr int kReadRequestBytes = 6;   // address, function, first register, count
// Right after opening, the silence a request waits for: a few characters at the line's
// speed, renewed by every byte that still comes (the tail of an earlier connection's reply).
constexpr int kFreshLineCharacters = 8;

void putWord(QByteArray &frame, quint16 v)
{
    frame.append(char(v >> 8));
    frame.append(char(v & 0xFF));
}

quint16 wireAddress(quint32 reg)
{
    return quint16((reg & 0xFFFF) - 1);
}

} // namespace

ModbusPort::ModbusPort(const QByteArray &devicePath)
    : path(devicePath)
    , line(Line::create(devicePath))
    , log(devicePath)
{
}

ModbusPort::~ModbusPort()
{
    close();
}

quint16 ModbusPort::crc16(const quint8 *data, qint64 size)
{
    quint16 crc = 0xFFFF;
    for (qint64 i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

void ModbusPort::appendCrc(QByteArray &frame)
{
    const quint16 crc = crc16(reinterpret_cast<const quint8 *>(frame.constData()), frame.size());
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
}

bool ModbusPort::checkCrc(const quint8 *frame, qint64 size)
{
    if (size < 2)
        return false;
    const quint16 crc = crc16(frame, size - 2);
    return frame[size - 2] == (crc & 0xFF) && frame[size - 1] == (crc >> 8);
}

QByteArray ModbusPort::readRequest(quint8 slave, quint32 firstRegister, quint16 count)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(RtuFraming::kFunctionReadHolding));
    putWord(f, wireAddress(firstRegister));
    putWord(f, count);
    return f;
}

QByteArray ModbusPort::writeSingleRequest(quint8 slave, quint32 reg, quint16 value)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(RtuFraming::kFunctionWriteSingle));
    putWord(f, wireAddress(reg));
    putWord(f, value);
    return f;
}

QByteArray ModbusPort::writeMultipleRequest(quint8 slave, quint32 firstRegister, const quint16 *values,
                                            quint16 count)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(RtuFraming::kFunctionWriteMultiple));
    putWord(f, wireAddress(firstRegister));
    putWord(f, count);
    f.append(char(quint8(count * 2)));
    for (quint16 i = 0; i < count; ++i)
        putWord(f, values[i]);
    return f;
}

bool ModbusPort::open()
{
    close();
    startTransaction();
    if (auto *serial = dynamic_cast<SerialLine *>(line.get()))
        serial->setOptions(options);
    line->setNetworkAllowance(networkAllowanceMs);
    readTimeoutMs = 0;
    applyTimeouts(); // a network line's connection waits the allowance
    if (!line->open()) {
        qCInfo(lcLink).noquote() << line->openErrorText();
        return openFailed();
    }
    baud = kDefaultBaud;
    format = Format8E1;
    parityOn = true;
    stopBits = 1;
    if (!line->raiseModemLines())
        return openFailed();
    freshLine = true;
    qCDebug(lcLink).noquote() << "opened" << QString::fromLocal8Bit(path);
    return true;
}

bool ModbusPort::openFailed()
{
    sysError = line->lastError();
    return failWith(Failure::NotOpen);
}

void ModbusPort::close()
{
    line->close();
}

bool ModbusPort::setFrameFormat(int code)
{
    format = code;
    const bool known = code >= Format8E1 && code <= Format8N2;
    if (known) {
        parityOn = code == Format8E1 || code == Format8O1;
        stopBits = parityOn ? 1 : 2;
    }
    const Line::Parity parity = code == Format8E1 ? Line::Parity::Even
        : code == Format8O1                       ? Line::Parity::Odd
                                                  : Line::Parity::None;
    applyTimeouts();
    // An unknown code leaves parity and stop bits as they were but still applies them.
    return line->setFormat(parity, stopBits, !known) || lineFailed();
}

bool ModbusPort::setSpeed(quint32 newBaud)
{
    baud = newBaud;
    applyTimeouts();
    return line->setSpeed(newBaud) || lineFailed();
}

bool ModbusPort::lineFailed()
{
    sysError = line->lastError();
    return false;
}

bool ModbusPort::canSetFrameFormat() const
{
    return line->canSetFormat();
}

void ModbusPort::setNetworkAllowance(int ms)
{
    networkAllowanceMs = ms;
    line->setNetworkAllowance(ms);
}

bool ModbusPort::setReadTimeout(int ms)
{
    readTimeoutMs = ms;
    applyTimeouts();
    return true;
}

void ModbusPort::setReplyGap(int ms)
{
    replyGapMs = ms;
    applyTimeouts();
}

void ModbusPort::setFraming(Framing f)
{
    frameEnd = f;
    applyTimeouts();
}

int ModbusPort::frameSilenceUs() const
{
    return RtuFraming::silenceUs(baud, RtuFraming::bitsPerCharacter(parityOn, stopBits));
}

void ModbusPort::applyTimeouts()
{
    const int silence = frameEnd == Framing::Length ? frameSilenceUs() : 0;
    line->setTimeouts({replyGapMs, readTimeoutMs, kWriteTimeoutMs, silence});
}

// A network line that never falls silent is a connection gone wrong: the owner
// connects again, as it would after a reset.
bool ModbusPort::lineGone() const
{
    if (lastFailure != Failure::NoAnswer && lastFailure != Failure::WriteFailed)
        return false;
    return Line::isGone(sysError) || (sysError == EBUSY && Line::isNetworkName(QString::fromUtf8(path)));
}

void ModbusPort::startTransaction()
{
    cutBytes = 0;
    cutLength = 0;
    sysError = 0;
    lineErrorFlags = 0;
    exceptionCode = 0;
    lastFailure = Failure::None;
}

bool ModbusPort::failWith(Failure f)
{
    lastFailure = f;
    return false;
}

// Length framing: what has arrived unasked is dropped, and the line gets its
// 3.5 characters of silence after the last reply, plus any extra pause. A line that
// ended or never falls silent fails the transaction before anything is sent.
bool ModbusPort::prepareLine()
{
    if (!line->isOpen())
        return true; // the write says so
    bool alive = frameEnd != Framing::Length || line->discardInput();
    // Right after opening, what the line carried before is unknown (a reply to a request
    // of an earlier connection may still be coming): the first request waits a few
    // characters of silence, and longer while bytes still arrive. A network line brings
    // bytes in packets whose pauses tell nothing of characters: it waits a reply gap.
    const qint64 characterNs = RtuFraming::bitsPerCharacter(parityOn, stopBits) * Line::kNsPerSecond / qMax<quint32>(baud, 1);
    const qint64 freshNs = Line::isNetworkName(QString::fromUtf8(path))
        ? replyGapMs * Line::kNsPerMs
        : qMax(frameSilenceUs() * 1000LL, kFreshLineCharacters * characterNs);
    const qint64 frameSilenceNs = freshLine ? freshNs : frameSilenceUs() * 1000LL;
    freshLine = false;
    const qint64 silenceNs = (frameEnd == Framing::Length ? frameSilenceNs : 0) + extraPauseMs * Line::kNsPerMs;
    // A reply still on its way (to a request of before, or of another master) is let
    // pass, however slow the line; one that never falls silent is given up on after the
    // time of the longest frame and two reply gaps.
    const qint64 longestFrameNs = qint64(Line::kLargestFrame) * characterNs;
    Line::Quiet quiet = Line::Quiet::Silent;
    if (alive && silenceNs > 0)
        quiet = line->waitQuiet(silenceNs, 2 * replyGapMs * Line::kNsPerMs + longestFrameNs);
    const Line::Dropped stale = line->takeDropped();
    if (stale.count > 0)
        log.discarded(stale.tail, stale.count);
    if (!alive || quiet == Line::Quiet::Failed)
        sysError = line->lastError() ? line->lastError() : EIO;
    else if (quiet == Line::Quiet::Talking)
        sysError = EBUSY;
    else
        return quiet != Line::Quiet::Stopped || failWith(Failure::Cancelled);
    return failWith(Failure::NoAnswer);
}

bool ModbusPort::transact(const QByteArray &request, Reply &reply)
{
    if (!prepareLine())
        return false;
    const auto *bytes = reinterpret_cast<const quint8 *>(request.constData());
    log.sent(request);
    const qint64 written = line->write(bytes, request.size());
    sentNs = Line::nowNs();
    if (written != request.size()) {
        lineErrorFlags = line->takeLineErrors();
        sysError = line->lastError() ? line->lastError() : EIO;
        return failWith(line->isOpen() ? Failure::WriteFailed : Failure::NotOpen);
    }
    return receive(request, reply);
}

bool ModbusPort::receive(const QByteArray &request, Reply &reply)
{
    lineErrorFlags = line->takeLineErrors();
    if (lineErrorFlags != 0)
        return failWith(Failure::LineError);
    const bool echoPossible = RtuFraming::echoPossible(request, echoes);
    Line::ReplyLength complete;
    if (frameEnd == Framing::Length)
        complete = [&request, echoPossible](const quint8 *b, qint64 n) {
            return RtuFraming::replyLength(request, b, n, echoPossible);
        };
    const qint64 readStartNs = Line::nowNs();
    reply.size = line->read(reply.bytes, kResponseBuffer, complete);
    if (reply.size > 0 && replyCut(request, reply, Line::nowNs() - readStartNs, echoPossible)) {
        lineErrorFlags = line->takeLineErrors();
        sysError = ETIMEDOUT;
        return failWith(Failure::NoAnswer);
    }
    if (reply.size <= 0) {
        lineErrorFlags = line->takeLineErrors();
        sysError = line->lastError() ? line->lastError() : ETIMEDOUT;
        reply.size = 0;
        return failWith(sysError == ECANCELED ? Failure::Cancelled : Failure::NoAnswer);
    }
    return true;
}

// A reply the read time-out ended part-way is a time-out, not a damaged frame: its
// bytes so far are no reason to blame the CRC (a slow line, a time-out too short).
bool ModbusPort::replyCut(const QByteArray &request, const Reply &reply, qint64 readNs, bool echoPossible)
{
    if (readTimeoutMs <= 0 || readNs < readTimeoutMs * Line::kNsPerMs)
        return false;
    const qint64 length = RtuFraming::replyLength(request, reply.bytes, reply.size, echoPossible);
    if (length > 0 && reply.size >= length)
        return false;
    cutBytes = int(reply.size);
    cutLength = int(length);
    return true;
}

// An adapter that hears itself puts a copy of the request before the reply: it is
// skipped, and after the first unmistakable one (not a write-single, whose reply
// is the same bytes) the line counts as one that echoes.
bool ModbusPort::skipEcho(const QByteArray &request, Reply &reply)
{
    if (!RtuFraming::echoPossible(request, echoes) || !RtuFraming::startsWithEcho(request, reply.bytes, reply.size))
        return false;
    const qint64 n = request.size();
    memmove(reply.bytes, reply.bytes + n, size_t(reply.size - n));
    reply.size -= n;
    echoes = echoes || quint8(request[1]) != RtuFraming::kFunctionWriteSingle;
    log.echoSkipped();
    return true;
}

// Every reply goes through here: the receive steps that look at the bytes, then the
// function's own judging. Reads only the size bytes given; values are written only
// for a sound read reply.
ModbusPort::Failure ModbusPort::judge(const QByteArray &request, const quint8 *reply, qint64 size, int &exception,
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
    if (reply[1] & RtuFraming::kExceptionBit) {
        exception = size < kExceptionFrame ? kCrcException : reply[2];
        return size < kExceptionFrame ? Failure::ShortReply : Failure::Exception;
    }
    switch (quint8(request[1])) {
    case RtuFraming::kFunctionReadHolding:
        return judgeRead(request, reply, size, exception, values);
    case RtuFraming::kFunctionWriteSingle:
        if (size < kEchoBytes + 2) {
            exception = kCrcException;
            return Failure::ShortReply;
        }
        return memcmp(reply, request.constData(), kEchoBytes) == 0 ? Failure::None : Failure::EchoMismatch;
    default:
        return Failure::None; // function 16: a sound frame without exception
    }
}

// Values come from byte 3 on, as many as were asked for; the byte-count field is not trusted.
ModbusPort::Failure ModbusPort::judgeRead(const QByteArray &request, const quint8 *reply, qint64 size,
                                          int &exception, quint16 *values)
{
    if (request.size() < kReadRequestBytes)
        return Failure::BadRequest;
    const int count = qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(request.constData()) + 4);
    if (size < qint64(3 + 2 * count + 2)) {
        exception = kCrcException;
        return Failure::ShortReply;
    }
    for (int i = 0; values && i < count; ++i)
        values[i] = qFromBigEndian<quint16>(reply + 3 + 2 * i);
    return Failure::None;
}

bool ModbusPort::exchange(QByteArray request, quint16 *values)
{
    appendCrc(request);
    Reply reply;
    const bool received = transact(request, reply);
    const QByteArray heard(reinterpret_cast<const char *>(reply.bytes), int(reply.size));
    const bool echoed = received && skipEcho(request, reply);
    if (received) {
        const Failure verdict = judge(request, reply.bytes, reply.size, exceptionCode, values);
        if (verdict != Failure::None)
            failWith(verdict);
    }
    const qint64 responseUs = (line->lastReceiveNs() - sentNs) / 1000;
    log.received(request, heard, int(lastFailure), exceptionCode, responseUs, echoed);
    if (lineGone()) { // a dead descriptor stays dead: the owner opens the path again
        qCInfo(lcLink).noquote() << QString::fromLocal8Bit(path) << "is gone:" << errorString();
        line->close();
    }
    return lastFailure == Failure::None;
}

bool ModbusPort::readRegisters(quint32 firstRegister, quint32 byteCount, void *destination)
{
    startTransaction();
    const quint32 count = byteCount / 2;
    if (count == 0 || count > quint32(kMaxReadRegisters))
        return failWith(Failure::BadRequest);
    quint16 values[kMaxReadRegisters];
    if (!exchange(readRequest(slave, firstRegister, quint16(count)), values))
        return false;
    memcpy(destination, values, count * sizeof(quint16)); // untouched on failure
    return true;
}

bool ModbusPort::writeRegister(quint32 reg, quint16 value)
{
    startTransaction();
    return exchange(writeSingleRequest(slave, reg, value));
}

bool ModbusPort::writeRegisters(quint32 firstRegister, quint32 byteCount, const void *source)
{
    startTransaction();
    const quint32 count = byteCount / 2;
    if (count == 0 || count > quint32(kMaxWriteRegisters))
        return failWith(Failure::BadRequest);
    return exchange(writeMultipleRequest(slave, firstRegister, static_cast<const quint16 *>(source), quint16(count)));
}

QString ModbusPort::failureName(Failure f)
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

QString ModbusPort::errorString() const
{
    switch (lastFailure) {
    case Failure::Exception:
        return QStringLiteral("Modbus exception %1").arg(exceptionCode);
    case Failure::LineError:
        return QStringLiteral("line error (flags 0x%1)").arg(lineErrorFlags, 0, 16);
    case Failure::NotOpen:
        return sysError ? line->openErrorText() : failureName(lastFailure);
    case Failure::WriteFailed:
        return QStringLiteral("write to the port failed: %1").arg(QString::fromLocal8Bit(strerror(sysError)));
    case Failure::NoAnswer:
        if (sysError == EBUSY)
            return QStringLiteral("no answer: the line never fell silent");
        if (cutBytes > 0)
            return cutLength > 0 ? QStringLiteral("incomplete reply: %1 of %2 bytes before the time-out").arg(cutBytes).arg(cutLength)
                                 : QStringLiteral("incomplete reply: %1 bytes before the time-out").arg(cutBytes);
        if (Line::isGone(sysError))
            return QStringLiteral("no answer: the line has gone (%1)").arg(QString::fromLocal8Bit(strerror(sysError)));
        return failureName(lastFailure);
    default:
        return failureName(lastFailure);
    }
}
