#include "link/line.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <utility>

bool Line::isNetworkName(const QString &name)
{
    for (const char *scheme : {kTcpScheme, kRfc2217Scheme, kModbusTcpScheme})
        if (name.startsWith(QLatin1String(scheme)))
            return true;
    return false;
}

// Subclasses close their handle in their own destructors: closeHandle is theirs.
Line::~Line() = default;

void Line::close()
{
    if (fd < 0)
        return;
    closeHandle();
    fd = kNoHandle;
}

void Line::opened(Handle handle)
{
    fd = handle;
    error = 0;
    pending.clear();
    lastReceive = nowNs(); // what was on the line before is unknown: the first request waits for silence
}

bool Line::fail(int err)
{
    error = err ? err : EIO;
    return false;
}

bool Line::isGone(int err)
{
    switch (err) {
    case EIO: case ENODEV: case ENXIO:                        // a serial device that went away
    case ECONNRESET: case EPIPE: case ENOTCONN: case ECONNABORTED: // a connection that dropped
    case EHOSTUNREACH: case ENETUNREACH: case ENETDOWN:
        return true;
    default:
        return false;
    }
}

bool Line::stopRequested() const
{
    return running && !running->load(std::memory_order_acquire);
}

// steady_clock is CLOCK_MONOTONIC on Linux and the performance counter on Windows.
qint64 Line::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

qint64 Line::write(const quint8 *data, qint64 size)
{
    if (fd < 0) {
        fail(EBADF);
        return -1;
    }
    const QByteArray out = encode(data, size);
    QDeadlineTimer deadline(timeouts.writeMs);
    qint64 done = 0;
    while (done < out.size()) {
        const ssize_t m = writeSome(out.constData() + done, size_t(out.size() - done));
        if (m > 0) {
            done += m;
            continue;
        }
        if (m < 0 && errno != EAGAIN && errno != EINTR) {
            fail(errno);
            break;
        }
        if (deadline.hasExpired() || stopRequested()) {
            fail(ETIMEDOUT);
            break;
        }
        waitWritable(int(qMin<qint64>(deadline.remainingTime(), kStopCheckMs)));
    }
    if (done == out.size() && !drain(deadline))
        return -1;
    return done == out.size() ? size : -1;
}

// Bytes from the line into pending: 1 when some came (or only line-control bytes),
// 0 when none, -1 on a failure of the line.
int Line::fill()
{
    quint8 raw[512];
    const ssize_t n = readSome(reinterpret_cast<char *>(raw), sizeof raw);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : (fail(errno), -1);
    if (n == 0) // hang-up: the other end of the line is gone
        return fail(EIO), -1;
    lastReceive = nowNs();
    decode(raw, n);
    if (pending.size() > kPendingLimit) { // nobody takes them: the newest go
        dropped.add(pending.constData() + kPendingLimit, pending.size() - kPendingLimit);
        pending.truncate(kPendingLimit);
    }
    return 1;
}

// How long the line may stay silent before the read ends: the frame silence once
// the bytes make a complete reply, else the inter-byte gap. A network line carries a
// reply in packets whose pauses tell nothing of its characters (a serial server on a
// busy machine or network sends the rest later): one still short of its length gets
// the network's allowance too, so that its tail is not taken for the next reply.
qint64 Line::silenceAllowedNs(const quint8 *buffer, qint64 got, const ReplyLength &complete) const
{
    const qint64 gapNs = qint64(timeouts.interByteMs) * kNsPerMs;
    if (!complete || timeouts.frameSilenceUs <= 0)
        return gapNs;
    const qint64 length = complete(buffer, got);
    if (length > 0 && got >= length)
        return qint64(timeouts.frameSilenceUs) * 1000;
    return gapNs + incompleteReplyAllowanceNs();
}

qint64 Line::totalReadNs() const
{
    return timeouts.totalReadMs > 0 ? qint64(timeouts.totalReadMs) * kNsPerMs : 0;
}

qint64 Line::read(quint8 *buffer, qint64 capacity, const ReplyLength &complete)
{
    if (fd < 0) {
        fail(EBADF);
        return -1;
    }
    constexpr qint64 kForever = std::numeric_limits<qint64>::max();
    const qint64 total = totalReadNs();
    const qint64 totalEnd = total > 0 ? nowNs() + total : kForever;
    qint64 gapEnd = kForever;
    qint64 got = 0;
    while (got < capacity) {
        if (!pending.isEmpty()) {
            const qint64 take = qMin<qint64>(capacity - got, pending.size());
            memcpy(buffer + got, pending.constData(), size_t(take));
            pending.remove(0, int(take));
            got += take;
            gapEnd = lastReceive + silenceAllowedNs(buffer, got, complete);
            continue;
        }
        if (stopRequested()) {
            error = ECANCELED;
            break;
        }
        const qint64 end = got > 0 ? qMin(gapEnd, totalEnd) : totalEnd;
        const qint64 now = nowNs();
        if (end != kForever && now >= end) {
            if (got == 0)
                error = ETIMEDOUT;
            break;
        }
        const int ready = waitReadable(qMin(end - now, qint64(kStopCheckMs) * kNsPerMs));
        if (ready < 0) {
            fail(errno ? errno : EIO);
            break;
        }
        if (ready == 0)
            continue;
        const int filled = fill();
        if (filled < 0)
            break;
        if (filled > 0 && pending.isEmpty() && got > 0) // an escape or control byte is still on the line
            gapEnd = lastReceive + silenceAllowedNs(buffer, got, complete);
    }
    return got;
}

void Line::Dropped::add(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    count += quint64(size);
    if (size >= kTailBytes) {
        tail = QByteArray(data + size - kTailBytes, kTailBytes);
        return;
    }
    tail.append(data, int(size));
    if (tail.size() > kTailBytes)
        tail.remove(0, tail.size() - kTailBytes);
}

Line::Dropped Line::takeDropped()
{
    Dropped out;
    std::swap(out, dropped);
    return out;
}

void Line::dropPending()
{
    dropped.add(pending.constData(), pending.size());
    pending.clear();
}

bool Line::discardInput()
{
    const quint64 start = dropped.count;
    int state = 1;
    while (fd >= 0 && dropped.count - start < quint64(kDiscardLimit)) {
        dropPending();
        state = waitReadable(0);
        if (state < 0) {
            fail(errno ? errno : EIO);
            break;
        }
        if (state == 0 || (state = fill()) <= 0)
            break;
    }
    dropPending();
    takeLineErrors(); // errors of bytes nobody asked for fail no later request
    return state >= 0;
}

Line::Quiet Line::waitQuiet(qint64 silenceNs, qint64 limitNs)
{
    const quint64 start = dropped.count;
    const qint64 giveUp = nowNs() + limitNs;
    Quiet result = fd >= 0 ? Quiet::Silent : (fail(EBADF), Quiet::Failed);
    for (qint64 now = nowNs(); result == Quiet::Silent && now < lastReceive + silenceNs; now = nowNs()) {
        if (stopRequested()) {
            result = Quiet::Stopped;
        } else if (now >= giveUp) {
            result = Quiet::Talking;
        } else {
            const qint64 wait = qMin(qMin(lastReceive + silenceNs, giveUp) - now, qint64(kStopCheckMs) * kNsPerMs);
            const int ready = waitReadable(wait);
            if (ready < 0)
                fail(errno ? errno : EIO);
            // Still talking: a late reply, or another master. An end of file ends the wait.
            if (ready < 0 || (ready > 0 && fill() < 0))
                result = Quiet::Failed;
            dropPending();
        }
    }
    if (dropped.count != start)
        takeLineErrors();
    return result;
}
