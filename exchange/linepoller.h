#pragma once

#include "exchange/dataevent.h"
#include "exchange/protocoltiming.h"
#include "link/lineoptions.h"

#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class ModbusPort;
class PacketExecutor;
class PollerSink;

// Polls every device of one line in turn from a thread of its own, with the data
// exchange's requests: identification, monitoring, log marks and the logs when they
// changed, then the oscillogram mark, so that a trip's record is handed on before its
// oscillogram. Each device is polled at most once a period; one that does not answer
// is tried again only every retry period, with the search's short time-out, so that
// it does not hold the others back. What is news is decided here, for every sink
// alike, from the records' own times: a record or an oscillogram older than the
// newest seen of the device is not, also after the device was replaced.
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

    LinePoller(const Line &line, PollerSink &sink);
    ~LinePoller(); // stops
    LinePoller(const LinePoller &) = delete;
    LinePoller &operator=(const LinePoller &) = delete;

    void start();
    void stop();
    const Line &line() const { return setup; }

private:
    struct Device;

    void run();
    bool openPort(ModbusPort &port);
    // One visit; true when the device answered.
    bool poll(ModbusPort &port, PacketExecutor &exec, Device &device);
    bool identify(ModbusPort &port, PacketExecutor &exec, Device &device);
    bool readMonitoring(PacketExecutor &exec, Device &device);
    void readOscillogram(PacketExecutor &exec, Device &device);
    // The log marks, and the logs when they changed; false when a read failed.
    bool checkLogs(PacketExecutor &exec, Device &device);
    bool readLogs(PacketExecutor &exec, Device &device);
    void noteLost(Device &device);
    void emitEvent(const Device &device, DataEventPtr event);

    const Line setup;
    PollerSink &sink;
    std::vector<std::unique_ptr<Device>> devices;
    std::atomic<bool> running {false};
    std::thread worker;
    std::mutex sleepMutex;
    std::condition_variable wakeUp;
};
