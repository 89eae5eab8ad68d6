#pragma once

#include <QtGlobal>

// What a line did since it was opened: counts of requests and of each way a
// transaction ended, bytes dropped before requests, echoes skipped and reply times.
struct LinkStatistics
{
    quint64 requests = 0;
    quint64 replies = 0;        // sound replies, exceptions included
    quint64 timeouts = 0;       // no byte, or not all of a reply, before the read time-out
    quint64 crcErrors = 0;      // damaged or short frames
    quint64 exceptions = 0;
    quint64 wrongAddress = 0;
    quint64 lineErrors = 0;
    quint64 echoMismatches = 0; // function 6 answered with something else
    quint64 discardedBytes = 0; // unasked bytes dropped before a request
    quint64 echoesSkipped = 0;  // the adapter's copy of a request
    quint64 totalResponseUs = 0;
    quint64 maxResponseUs = 0;

    // Mean time from the end of a request to the end of its reply, over the replies.
    double meanResponseMs() const { return replies ? double(totalResponseUs) / double(replies) / 1000.0 : 0.0; }
};
