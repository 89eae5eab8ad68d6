#include "framelog.h"

#include "frameobserver.h"
#include "linklog.h"
#include "modbusport.h"
#include "rtuframing.h"

#include <QDateTime>
#include <QtEndian>

namespace {
constexpr int kValueOffset = 4;   // address, function, register: then the value
constexpr int kWriteSingleSize = 8;
} // namespace

int FrameLog::maskStart(const QByteArray &request, const QByteArray &bytes, int offset) const
{
    if (maskedRegister == 0 || request.size() != kWriteSingleSize
        || quint8(request[1]) != RtuFraming::kFunctionWriteSingle)
        return -1;
    const quint16 wire = qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(request.constData()) + 2);
    if (wire != quint16(maskedRegister - 1) || bytes.size() < offset + kValueOffset)
        return -1;
    // The echo of the write repeats the code: mask it wherever the frame starts like the request.
    return bytes.mid(offset, kValueOffset) == request.left(kValueOffset) ? offset + kValueOffset : -1;
}

// The request and an echo of it before the reply, or the reply alone: frames of
// eight bytes each, every one that starts like the request masked.
void FrameLog::mask(const QByteArray &request, const QByteArray &bytes, FrameRecord &record) const
{
    record.bytes = bytes;
    for (int offset = 0; offset < bytes.size(); offset += kWriteSingleSize) {
        const int from = maskStart(request, bytes, offset);
        if (from < 0)
            break;
        if (record.masked.isEmpty())
            record.masked = QByteArray(bytes.size(), 0);
        for (int i = from; i < qMin(bytes.size(), offset + kWriteSingleSize); ++i) {
            record.bytes[i] = 0;
            record.masked[i] = 1;
        }
    }
}

void FrameLog::discarded(const QByteArray &bytes)
{
    stats.discardedBytes += quint64(bytes.size());
    FrameRecord r;
    r.direction = FrameRecord::Discarded;
    r.bytes = bytes;
    trace("DROP", r);
    hand(std::move(r));
}

void FrameLog::sent(const QByteArray &request)
{
    ++stats.requests;
    FrameRecord r;
    r.direction = FrameRecord::Sent;
    mask(request, request, r);
    trace("TX", r);
    hand(std::move(r));
}

void FrameLog::received(const QByteArray &request, const QByteArray &bytes, int failure, int exception,
                        qint64 responseUs, bool echoSkipped)
{
    count(failure, responseUs, !bytes.isEmpty());
    FrameRecord r;
    r.direction = FrameRecord::Received;
    mask(request, bytes, r);
    r.failure = failure;
    r.exception = exception;
    r.responseUs = bytes.isEmpty() ? -1 : responseUs;
    r.echoSkipped = echoSkipped;
    if (!bytes.isEmpty())
        trace("RX", r);
    hand(std::move(r));
}

void FrameLog::count(int failure, qint64 responseUs, bool answered)
{
    using F = ModbusPort::Failure;
    switch (F(failure)) {
    case F::None: case F::Exception: ++stats.replies; break;
    case F::NoAnswer: ++stats.timeouts; break;
    case F::CrcError: case F::ShortReply: ++stats.crcErrors; break;
    case F::WrongAddress: ++stats.wrongAddress; break;
    case F::LineError: ++stats.lineErrors; break;
    case F::EchoMismatch: ++stats.echoMismatches; break;
    default: break;
    }
    if (F(failure) == F::Exception)
        ++stats.exceptions;
    if (answered && (F(failure) == F::None || F(failure) == F::Exception) && responseUs >= 0) {
        stats.totalResponseUs += quint64(responseUs);
        stats.maxResponseUs = qMax(stats.maxResponseUs, quint64(responseUs));
    }
}

void FrameLog::trace(const char *direction, const FrameRecord &record) const
{
    if (!lcFrames().isDebugEnabled())
        return;
    qCDebug(lcFrames).noquote() << QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz"))
                                << QString::fromLocal8Bit(port) << direction << record.hex();
}

void FrameLog::hand(FrameRecord &&record) const
{
    if (!observer)
        return;
    record.timeMs = QDateTime::currentMSecsSinceEpoch();
    observer->onFrame(record);
}
