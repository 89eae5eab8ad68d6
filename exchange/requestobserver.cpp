#include "exchange/requestobserver.h"

#include "link/framerecord.h"

#include <chrono>

namespace {

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr double kNsPerSecond = 1e9;

} // namespace

RequestObserver::RequestObserver(const QString &line, PollerSink &sink, Clock clock)
    : line(line)
    , sink(sink)
    , clock(clock ? std::move(clock) : Clock(steadyNs))
    , busy(this->clock())
{
}

// A reply that is not the echo a write expects is a damaged one, as a bad CRC is; a
// line that could not take the request (closed, a write cut short) is the line's fault.
std::optional<PollerSink::RequestKind> RequestObserver::kindOf(RtuFraming::Failure failure)
{
    using F = RtuFraming::Failure;
    using K = PollerSink::RequestKind;
    switch (failure) {
    case F::None: return K::Answered;
    case F::NoAnswer: return K::Timeout;
    case F::CrcError: case F::ShortReply: case F::EchoMismatch: return K::Crc;
    case F::Exception: return K::Exception;
    case F::WrongAddress: return K::OtherAddress;
    case F::LineError: case F::NotOpen: case F::WriteFailed: return K::LineError;
    case F::BadRequest: case F::Cancelled: return std::nullopt;
    }
    return std::nullopt;
}

void RequestObserver::onFrame(const FrameRecord &record)
{
    if (record.direction == FrameRecord::Sent && !record.bytes.isEmpty()) {
        sentNs = clock();
        busy.begin(sentNs);
        address = quint8(record.bytes[0]);
        return;
    }
    if (record.direction != FrameRecord::Received || address < 0)
        return; // bytes dropped before a request, or an outcome of nothing sent
    const qint64 endNs = clock();
    busy.end(endNs);
    const int to = address;
    address = -1;
    if (const std::optional<PollerSink::RequestKind> kind = kindOf(RtuFraming::Failure(record.failure)))
        sink.request(line, to, double(endNs - sentNs) / kNsPerSecond, *kind);
}
