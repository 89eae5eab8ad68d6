#include "link/framelog.h"

#include "link/frameobserver.h"
#include "link/linklog.h"
#include "link/rtuframing.h"

#include <QDateTime>
#include <QtEndian>

// Where the masked register's value lies in a request (function 6, or a function 16
// whose range covers it); -1 when the request does not carry it.
int FrameLog::valueOffset(const QByteArray &request) const
{
    using R = RtuFraming;
    if (maskedRegister == 0 || request.size() < R::kWriteValuesOffset - 1)
        return -1;
    const auto *b = reinterpret_cast<const uchar *>(request.constData());
    const quint16 index = quint16(quint16(maskedRegister - 1) - qFromBigEndian<quint16>(b + R::kRegisterOffset));
    switch (quint8(request[1])) {
    case R::kFunctionWriteSingle:
        return request.size() == R::kValueOffset + 2 + R::kCrcSize && index == 0 ? R::kValueOffset : -1;
    case R::kFunctionWriteMultiple: {
        const int at = R::kWriteValuesOffset + 2 * index;
        return index < qFromBigEndian<quint16>(b + R::kCountOffset) && at + 2 <= request.size() - R::kCrcSize ? at : -1;
    }
    default:
        return -1;
    }
}

// The request and the copies of it on the line (an adapter's echo, the echo that
// answers function 6), each as long as the request: the value and the CRC of every
// copy read as zero, since a 4-digit code could be found again from the CRC at once.
void FrameLog::mask(const QByteArray &request, const QByteArray &bytes, FrameRecord &record) const
{
    record.bytes = bytes;
    const int at = valueOffset(request);
    if (at < 0)
        return;
    const int header = quint8(request[1]) == RtuFraming::kFunctionWriteSingle ? RtuFraming::kValueOffset
                                                                              : RtuFraming::kWriteValuesOffset;
    const int length = request.size();
    for (int copy = 0; bytes.mid(copy, header) == request.left(header); copy += length) {
        if (record.masked.isEmpty())
            record.masked = QByteArray(bytes.size(), 0);
        for (int i : {at, at + 1, length - 2, length - 1}) {
            if (copy + i < bytes.size()) {
                record.bytes[copy + i] = 0;
                record.masked[copy + i] = 1;
            }
        }
    }
}

void FrameLog::discarded(const QByteArray &tail, quint64 count)
{
    stats.discardedBytes += count;
    FrameRecord r;
    r.direction = FrameRecord::Discarded;
    r.bytes = tail;
    r.droppedBytes = count;
    if (count > quint64(tail.size()))
        trace(QByteArray("DROP ") + QByteArray::number(count) + " bytes, the last", r);
    else
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
    using F = RtuFraming::Failure;
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

void FrameLog::trace(const QByteArray &direction, const FrameRecord &record) const
{
    if (!lcFrames().isDebugEnabled())
        return;
    qCDebug(lcFrames).noquote() << QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz"))
                                << QString::fromLocal8Bit(port) << QString::fromLatin1(direction) << record.hex();
}

void FrameLog::hand(FrameRecord &&record) const
{
    if (!observer)
        return;
    record.timeMs = QDateTime::currentMSecsSinceEpoch();
    observer->onFrame(record);
}
