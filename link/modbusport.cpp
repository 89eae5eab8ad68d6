#include "link/modbusport.h"

#include "link/linefactory.h"
#include "link/linklog.h"
#include "link/socketio.h"

#include <cerrno>
#include <cstring>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN,
              "register blocks overlay 32-bit fields on 16-bit words, low word first");

namespace {
// Right after opening, the silence a request waits for: a few characters at the line's
// speed, renewed by every byte that still comes (the tail of an earlier connection's reply).
constexpr int kFreshLineCharacters = 8;
} // namespace

ModbusPort::ModbusPort(const QByteArray &devicePath)
    : path(devicePath)
    , line(LineFactory::create(devicePath))
    , log(devicePath)
{
}

ModbusPort::~ModbusPort()
{
    close();
}

bool ModbusPort::open()
{
    close();
    startTransaction();
    line->setOptions(options);
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

void ModbusPort::serveBetween()
{
    if (!between || inBetween)
        return;
    inBetween = true;
    between();
    inBetween = false;
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

bool ModbusPort::exchange(QByteArray request, quint16 *values)
{
    RtuFraming::appendCrc(request);
    Reply reply;
    const bool received = transact(request, reply);
    const QByteArray heard(reinterpret_cast<const char *>(reply.bytes), int(reply.size));
    const bool echoed = received && skipEcho(request, reply);
    if (received) {
        const Failure verdict = RtuFraming::judge(request, reply.bytes, reply.size, exceptionCode, values);
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
    serveBetween();
    startTransaction();
    const quint32 count = byteCount / 2;
    if (count == 0 || count > quint32(kMaxReadRegisters))
        return failWith(Failure::BadRequest);
    quint16 values[kMaxReadRegisters];
    if (!exchange(RtuFraming::readRequest(slave, firstRegister, quint16(count)), values))
        return false;
    memcpy(destination, values, count * sizeof(quint16)); // untouched on failure
    return true;
}

bool ModbusPort::writeRegister(quint32 reg, quint16 value)
{
    serveBetween();
    startTransaction();
    return exchange(RtuFraming::writeSingleRequest(slave, reg, value));
}

bool ModbusPort::writeRegisters(quint32 firstRegister, quint32 byteCount, const void *source)
{
    serveBetween();
    startTransaction();
    const quint32 count = byteCount / 2;
    if (count == 0 || count > quint32(kMaxWriteRegisters))
        return failWith(Failure::BadRequest);
    return exchange(RtuFraming::writeMultipleRequest(slave, firstRegister, static_cast<const quint16 *>(source), quint16(count)));
}

QString ModbusPort::errorString() const
{
    switch (lastFailure) {
    case Failure::Exception:
        return QStringLiteral("Modbus exception %1").arg(exceptionCode);
    case Failure::LineError:
        return QStringLiteral("line error (flags 0x%1)").arg(lineErrorFlags, 0, 16);
    case Failure::NotOpen:
        return sysError ? line->openErrorText() : RtuFraming::failureName(lastFailure);
    case Failure::WriteFailed:
        return QStringLiteral("write to the port failed: %1").arg(SocketIo::errorText(sysError));
    case Failure::NoAnswer:
        if (sysError == EBUSY)
            return QStringLiteral("no answer: the line never fell silent");
        if (cutBytes > 0)
            return cutLength > 0 ? QStringLiteral("incomplete reply: %1 of %2 bytes before the time-out").arg(cutBytes).arg(cutLength)
                                 : QStringLiteral("incomplete reply: %1 bytes before the time-out").arg(cutBytes);
        if (Line::isGone(sysError))
            return QStringLiteral("no answer: the line has gone (%1)").arg(SocketIo::errorText(sysError));
        return RtuFraming::failureName(lastFailure);
    default:
        return RtuFraming::failureName(lastFailure);
    }
}
