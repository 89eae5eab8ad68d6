#pragma once

#include "exchange/dataevent.h"

#include <memory>

// Where a device visit's findings go: the data thread stamps them with its connection
// and sends them on, a line poller hands them to its sink with the line and the device.
// Called from the visit's own thread.
class VisitSink
{
public:
    virtual ~VisitSink() = default;
    // Monitoring, logs, oscillogram, connected, link lost (an Error event) and link
    // restored; the sender stamps the event before it leaves.
    virtual void visitEvent(std::shared_ptr<DataEvent> event) = 0;
    // News only: the device's logs hold records new to us but older than its clock at
    // the last look (a unit replaced or reset); they were not handed on.
    virtual void logsReplaced(int /*olderRecords*/) {}
};
