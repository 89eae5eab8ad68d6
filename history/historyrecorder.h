#pragma once

#include "device/deviceinfo.h"
#include "exchange/dataevent.h"
#include "exchange/pollersink.h"
#include "history/historysample.h"
#include "storage/appsettings.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class CrashOscillogramPacket;
class CurrentScale;
class DataThread;
class HistoryStore;
class WatchDataPacket;

// Keeps what the connections see in the history database without slowing them: the
// record calls only queue (any thread, a mutex and a copy), and a thread of its own
// writes the queue in one transaction per batch interval and runs the retention
// pass. Anything that talks to a device may feed it: the window's and the command
// line's data threads through attach(), a gateway through record(). A batch that
// cannot be written is dropped and counted; failed() is said once per recorder, the
// log says each failure and each resumption after one.
class HistoryRecorder : public QObject, public PollerSink
{
    Q_OBJECT

public:
    static constexpr int kDefaultBatchMs = 3000;
    static constexpr int kDefaultRetentionPassMs = 3600 * 1000;
    // A file another program holds locked at start is tried again, the wait doubling up to the last.
    static constexpr int kDefaultRetryFirstMs = 5000;
    static constexpr int kDefaultRetryMaxMs = 30000;
    // Syslog priorities, as a journal reads them.
    enum LogPriority { LogWarning = 4, LogNotice = 5 };
    using Log = std::function<void(int priority, const QString &text)>;

    explicit HistoryRecorder(const QString &databasePath, QObject *parent = nullptr);
    // Writes what is queued, then closes the file.
    ~HistoryRecorder() override;

    // Set before start().
    void setBatchInterval(int ms) { batchMs = ms; }
    void setRetention(int fullDays, int minuteDays);
    void setRetentionPassInterval(int ms) { retentionPassMs = ms; }
    // The wall clock, injectable for tests: UTC milliseconds since 1970.
    void setClock(std::function<qint64()> clock) { now = std::move(clock); }
    void setRetryInterval(int firstMs, int maxMs);
    // Where failures and resumptions are said (any thread); by default "orbix: TEXT" on stderr.
    void setLog(Log log) { say = std::move(log); }

    // Opens the file and starts the writer; false, with error(), when there will be no
    // history (a damaged, newer or read-only file): the record calls then only count.
    // A file locked by another connection is said, then opened when the lock is gone:
    // start() is true with error() set, and what comes before is counted as lost.
    bool start();
    const QString &error() const { return openError; }
    // The writer runs (recording, or waiting for a locked file).
    bool recording() const { return writer.joinable(); }
    // Writes what is queued now and waits for it (tests, a clean exit).
    void flush();

    void record(const DeviceInfo &device, const QString &line, const HistorySample &sample);
    void recordEvent(const DeviceInfo &device, const QString &line, const HistoryEvent &event);
    void recordOscillogram(const DeviceInfo &device, const QString &line, const CrashOscillogramPacket &block);
    // Samples, both logs, link lost and restored and oscillograms; other events are ignored.
    void recordDataEvent(const DeviceInfo &device, const QString &line, const DataEvent &event);
    // Every event of the thread is recorded as it is emitted, in the thread's own
    // thread: queueing costs it a copy.
    void attach(DataThread &thread, const QString &line);
    // A gateway's line pollers: what they read is recorded as a data thread's is.
    void deviceIdentified(const QString &, const DeviceInfo &) override {}
    void deviceEvent(const QString &line, const DeviceInfo &device, const DataEventPtr &event) override
    {
        recordDataEvent(device, line, *event);
    }
    void transaction(const QString &, int, bool) override {}

    quint64 samplesWritten() const { return written.load(); }
    // Samples dropped: before the file could be opened, or in a batch it refused. Never decreases.
    quint64 lostSamples() const { return lost.load(); }

    // The device's identity as history names it: "5.0-50.0 v0.70".
    static QString identity(const DeviceInfo &device);
    static HistorySample sample(const WatchDataPacket &packet, const CurrentScale &scale, qint64 timeMs);

signals:
    // Once: history could not be written (the reason names the file and the cause).
    void failed(const QString &reason);

private:
    struct Key
    {
        QString line;
        int address;
        QString identity;
        int currentScale;
        bool operator<(const Key &o) const;
    };
    struct Pending
    {
        QVector<HistorySample> samples;
        QVector<HistoryEvent> events;
        QVector<HistoryOscillogram> oscillograms;
    };

    static Key keyOf(const DeviceInfo &device, const QString &line);
    bool waitForStore();
    void run();
    void writeBatch(std::map<Key, Pending> &batch);
    bool writeDevice(const Key &key, const Pending &pending);
    void reportFailure(const QString &reason);
    void reportResumed();
    void stop();

    const QString path;
    std::unique_ptr<HistoryStore> store; // used by the writer thread only once it runs
    std::map<Key, qint64> deviceIds;     // the writer's
    QString openError;
    int batchMs = kDefaultBatchMs;
    int retentionPassMs = kDefaultRetentionPassMs;
    int fullDays = AppSettings::kDefaultHistoryFullDays;
    int minuteDays = AppSettings::kDefaultHistoryMinuteDays;
    int retryFirstMs = kDefaultRetryFirstMs;
    int retryMaxMs = kDefaultRetryMaxMs;
    std::function<qint64()> now;
    Log say;
    bool failing = false; // the writer's: the last write failed, its failure said

    std::mutex mutex; // guards what follows
    std::condition_variable wake;
    std::map<Key, Pending> pending;
    bool stopping = false;
    quint64 flushRequested = 0;
    quint64 flushDone = 0;

    std::thread writer;
    std::atomic<quint64> written {0};
    std::atomic<quint64> lost {0};
    std::atomic<bool> storeOpen {false};
    std::atomic<bool> failureSaid {false};
};
