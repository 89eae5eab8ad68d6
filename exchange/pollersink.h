#pragma once

#include "device/deviceinfo.h"
#include "exchange/dataevent.h"

#include <QString>

// Where a line poller's findings go: the gateway's publishers, the history recorder.
// Called from the poller's own thread; an implementation guards its own state.
class PollerSink
{
public:
    // What one Modbus request on the line came to; RequestObserver::kindOf() tells how
    // each failure of a transaction counts.
    enum class RequestKind { Answered, Timeout, Crc, Exception, OtherAddress, LineError };

    virtual ~PollerSink() = default;
    // The device answered its identification and is recognised (again, after a loss).
    virtual void deviceIdentified(const QString &line, const DeviceInfo &device) = 0;
    // Monitoring, logs, oscillogram, link lost (an Error event) and link restored. The
    // first logs event of a device holds what its logs held when it was first seen; each
    // later one only the records that are news (the others emptied), and comes before
    // the oscillogram of the same trip.
    virtual void deviceEvent(const QString &line, const DeviceInfo &device, const DataEventPtr &event) = 0;
    // Every request list the line ran for a device, answered in full or not.
    virtual void transaction(const QString &line, int address, bool ok) = 0;
    // The device's logs hold records older than its clock at the last look that were not
    // there before (a unit replaced or reset); they are no news and were not handed on.
    virtual void logsReplaced(const QString & /*line*/, int /*address*/, int /*olderRecords*/) {}
    // Every Modbus request that went out on the line: to which device, how long from
    // its sending to the end of its reply or its time-out, and what it came to.
    virtual void request(const QString & /*line*/, int /*address*/, double /*seconds*/, RequestKind /*kind*/) {}
};
