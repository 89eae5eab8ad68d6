#pragma once

#include "exchange/devicesession.h"
#include "exchange/protocoltiming.h"
#include "exchange/requestobserver.h"
#include "link/lineoptions.h"

#include <QElapsedTimer>
#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class LineArbiter;
class PollerSink;

// Polls every device of one line in turn from a thread of its own, through one
// DeviceSession on the line: each device is identified, then visited by a DeviceVisit
// in its News mode, so that what is news is decided there, for every sink alike, from
// the records' own times. Each device is polled at most once a period; one that does
// not answer is tried again only every retry period and identified with the search's
// short time-out, so that it does not hold the others back. Other masters' requests
// (an arbiter's) go to the line between the poll's transactions, and at once when it
// has nothing due; a device they wrote to is visited next.
class LinePoller
{
public:
    struct Line {
        QString name;
        QString devicePath; // a device path or a network line's name
        LineOptions options;
        quint32 baud = 19200;
        int frameFormat = 0;
        QVector<int> addresses;
        ProtocolTiming timing; // cyclePeriodMs is the poll period of a device
        int retryPeriodMs = 10000;
    };

    // A device a master wrote to is visited again at most this many times a period.
    static constexpr int kWrittenVisitsPerPeriod = 4;

    LinePoller(const Line &line, PollerSink &sink);
    ~LinePoller(); // stops
    LinePoller(const LinePoller &) = delete;
    LinePoller &operator=(const LinePoller &) = delete;

    // Before start(); not owned, outlives the poller.
    void setArbiter(LineArbiter *arbiter);
    void start();
    void stop();
    const Line &line() const { return setup; }
    // Every request of the line, seen on its port; its busy figures are read from any thread.
    const RequestObserver &requests() const { return requestObserver; }

private:
    struct Device;

    void run();
    // Visits the devices that are due; the time the next one is due.
    qint64 round(const QElapsedTimer &clock);
    // One visit; true when the device answered.
    bool poll(Device &device);
    bool identify(Device &device);
    // The masters' requests while the poll waits; pollDue: a device is due meanwhile.
    void serveMasters(bool pollDue);
    void visitWritten();

    const Line setup;
    PollerSink &sink;
    std::atomic<bool> running {false};
    RequestObserver requestObserver; // before the session: it outlives the port that calls it
    DeviceSession session; // the worker's while it runs
    LineArbiter *arbiter = nullptr;
    std::vector<std::unique_ptr<Device>> devices;
    std::thread worker;
    std::mutex sleepMutex;
    std::condition_variable wakeUp;
};
