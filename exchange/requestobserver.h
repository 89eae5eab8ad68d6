#pragma once

#include "exchange/busywindow.h"
#include "exchange/pollersink.h"
#include "link/frameobserver.h"
#include "link/rtuframing.h"

#include <QString>

#include <functional>
#include <optional>

// Every request of a line's port as the gateway's figures count it: from its sending
// to the end of its reply or its time-out, the device it went to, how long it took and
// what it came to, handed to the sink; and the time the line was busy. A transaction
// that failed before anything was sent (the line gone, or never silent) is no request
// and counts nowhere. The line's poller installs it on its port: the frames come in the
// line's thread, the busy figures may be read from any.
class RequestObserver : public FrameObserver
{
public:
    using Clock = std::function<qint64()>; // monotonic nanoseconds

    // Without a clock, the steady clock.
    RequestObserver(const QString &line, PollerSink &sink, Clock clock = {});

    void onFrame(const FrameRecord &record) override;

    // What a transaction's failure counts as; none for one that is no outcome of the
    // device's (a stop cancelled it, or nothing was sent).
    static std::optional<PollerSink::RequestKind> kindOf(RtuFraming::Failure failure);

    // The share of the last BusyWindow::kWindowSeconds the line was busy, and its busy time in all.
    double busyRatio() const { return busy.ratio(clock()); }
    double busySeconds() const { return busy.totalSeconds(clock()); }

private:
    const QString line;
    PollerSink &sink;
    const Clock clock;
    BusyWindow busy;
    int address = -1; // of the request under way; -1 when none is
    qint64 sentNs = 0;
};
