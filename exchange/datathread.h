#pragma once

#include "dataevent.h"
#include "deviceinfo.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class ConfigPacket;
class CrashOscillogramPacket;
class CrashProtocolPacket;
class ModbusPort;
class PacketExecutor;
class ProtocolPacket;
class RunConfigPacket;
class RunConfigProgressPacket;
class SearchPacket;
class WatchDataPacket;

// Runs the connection to one device: opens its port, checks that the device
// answering is the one expected, then polls it once a second and serves the
// commands the interface queued. Everything it learns leaves as a DataEvent.
// The request setters may be called from the interface thread at any time;
// each request is served once, at the next cycle.
class DataThread : public QThread
{
    Q_OBJECT

public:
    static constexpr int kCyclePeriodMs = 1000;
    static constexpr int kNoMotorCommand = -1;

    explicit DataThread(const DeviceInfo &device, QObject *parent = nullptr);
    ~DataThread() override;

    const DeviceInfo &device() const { return info; }
    // Opens this path instead of the one the port number maps to (tools given a path).
    void setDevicePath(const QString &path) { pathOverride = path; }

    void startExchange();
    // Asks the run to end, waits for it (the port is closed by then) and emits type 2.
    void stopExchange();

    void setAccessCode(qint16 code) { accessCode = code; }
    void requestSetTime(quint32 secondsSince1970);
    void requestClearCrashProtocol() { clearCrashProtocolRequested = true; }
    void requestClearWorkProtocol() { clearWorkProtocolRequested = true; }
    void requestResetRunningTime() { resetRunningTimeRequested = true; }
    void requestToggleOutput() { toggleOutputRequested = true; }
    void requestEngineCommand(int command) { motorCommand = command; }
    void requestAutoSetupStart() { autoSetupStartRequested = true; }
    void requestReadConfig() { configReadRequested = true; }
    // Hands a configuration over to be written; the thread owns it from then on.
    // Refused (false, ownership stays with the caller) while another one is pending.
    bool requestWriteConfig(ConfigPacket *configuration);

    // Read time-out for a speed: 2450 ms below 2400 bit/s, else 1900 ms.
    static int readTimeoutFor(qint32 baud);

signals:
    void dataEvent(const DataEvent *event);

public slots:
    // Emits type 2: disconnected.
    void stoped();

protected:
    void run() override;

private:
    struct RunState;

    void runOnce();
    bool connectDevice(ModbusPort &port, PacketExecutor &exec);
    bool identificationMatches(const SearchPacket &id) const;
    void cycle(PacketExecutor &exec, RunState &state);
    void readSetupProgress(PacketExecutor &exec, RunState &state);
    void serveCommands(PacketExecutor &exec, RunState &state);
    void serveMotorCommand(PacketExecutor &exec);
    void serveClears(PacketExecutor &exec);
    void serveToggleOutput(PacketExecutor &exec);
    void serveRunningTimeReset(PacketExecutor &exec);
    void serveClock(PacketExecutor &exec);
    void serveConfiguration(PacketExecutor &exec);
    void readOscillogram(PacketExecutor &exec, RunState &state);
    void readMonitoring(PacketExecutor &exec, RunState &state);
    void readLogsOrMarks(PacketExecutor &exec, RunState &state);
    bool writeGuarded(PacketExecutor &exec, const class DataPacket &packet);
    void sleepRestOfCycle(qint64 elapsedMs);
    // The event is built inside, so that everything it carries is made in one place.
    template <typename Event, typename... Args> void emitEvent(Args &&...args)
    {
        emit dataEvent(new Event(std::forward<Args>(args)...));
    }
    bool keepRunning() const { return running.load(); }

    const DeviceInfo info;
    QString pathOverride;
    std::unique_ptr<WatchDataPacket> monitoring;
    std::unique_ptr<ProtocolPacket> workProtocol;
    std::unique_ptr<CrashProtocolPacket> crashProtocol;
    std::unique_ptr<ConfigPacket> configuration;
    std::unique_ptr<RunConfigPacket> startCharacteristic;
    std::unique_ptr<RunConfigProgressPacket> setupProgress;
    std::unique_ptr<CrashOscillogramPacket> oscillogram;

    // Requests: written by the interface thread, taken by the worker.
    std::atomic<ConfigPacket *> pendingConfiguration {nullptr};
    std::atomic<bool> configReadRequested {false};
    std::atomic<bool> running {false};
    std::atomic<qint16> accessCode {0};
    std::atomic<quint32> clockValue {0};
    std::atomic<bool> setClockRequested {false};
    std::atomic<bool> clearCrashProtocolRequested {false};
    std::atomic<bool> clearWorkProtocolRequested {false};
    std::atomic<bool> resetRunningTimeRequested {false};
    std::atomic<bool> toggleOutputRequested {false};
    std::atomic<int> motorCommand {kNoMotorCommand};
    std::atomic<bool> autoSetupStartRequested {false};

    std::mutex sleepMutex;
    std::condition_variable wakeUp; // ends the pause between cycles at a stop
};
