#pragma once

#include "device/deviceinfo.h"
#include "device/enginecommand.h"
#include "exchange/dataevent.h"
#include "exchange/protocoltiming.h"
#include "exchange/visitsink.h"
#include "link/frameobserver.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class ConfigPacket;
class DataPacket;
class DeviceSession;
class DeviceVisit;
class ModbusPort;
class PacketExecutor;
class RunConfigPacket;
class RunConfigProgressPacket;

// Runs the connection to one device: opens its port, checks that the device
// answering is the one expected, then polls it once a second and serves the
// commands the interface queued. The polling is a DeviceVisit (Whole: the logs whole,
// every oscillogram); around it, the setup's progress, the commands, the configuration
// and the link statistics are the thread's own. Everything it learns leaves as a DataEvent
// stamped with this connection's number. The request operations may be called
// from the interface thread at any time; each request is served once, at the
// next cycle. The thread touches no file: its port is given as a path.
class DataThread : public QThread, private FrameObserver, private VisitSink
{
    Q_OBJECT

public:
    // devicePath: what the port number of the record resolves to, found by the caller.
    DataThread(const DeviceInfo &device, const QString &devicePath, QObject *parent = nullptr);
    ~DataThread() override;

    const DeviceInfo &device() const { return info; }
    const QString &devicePath() const { return path; }
    // Unique in the process: no two DataThreads ever share it.
    quint64 connection() const { return connectionNumber; }
    // Set before startExchange().
    void setTiming(const ProtocolTiming &t) { timing = t; }
    void setLineOptions(const LineOptions &o) { lineOptions = o; }
    // Every frame of the line as a Traffic event (for a traffic monitor); off by default.
    void setTrafficEvents(bool on) { trafficEvents = on; }

    void startExchange();
    // Asks the run to end, waits for it (the port is closed by then) and emits type 2.
    void stopExchange();

    void setAccessCode(qint16 code) { accessCode = code; }
    void requestReadConfig() { configReadRequested = true; }
    // Hands a configuration over to be written; the thread owns it from then on.
    // While another one is pending it is refused and handed back.
    std::unique_ptr<ConfigPacket> requestWriteConfig(std::unique_ptr<ConfigPacket> configuration);
    void requestSetTime(quint32 secondsSince1970);
    void requestResetCrashProtocol() { resetCrashProtocolRequested = true; }
    void requestResetWorkProtocol() { resetWorkProtocolRequested = true; }
    void requestResetWorkTime() { resetWorkTimeRequested = true; }
    void requestEngineCommand(EngineCommand command) { engineCommand = command; }
    void requestToggleOutput() { toggleOutputRequested = true; }
    void requestAutoSetup() { autoSetupRequested = true; }

signals:
    void dataEvent(DataEventPtr event);

public slots:
    // Emits type 2: disconnected.
    void stoped();

protected:
    void run() override;

private:
    struct RunState;

    void runOnce();
    bool connectDevice(DeviceSession &session);
    void pollDevice(DeviceSession &session);
    void dropCommandsOfTheLink();
    void cycle(PacketExecutor &exec, DeviceVisit &visit, RunState &state);
    void readSetupProgress(DeviceVisit &visit, RunState &state);
    void serveCommands(PacketExecutor &exec, DeviceVisit &visit, RunState &state);
    void serveAutoSetup(PacketExecutor &exec, RunState &state);
    void serveEngineCommand(PacketExecutor &exec);
    void serveProtocolResets(PacketExecutor &exec);
    void serveToggleOutput(PacketExecutor &exec, const DeviceVisit &visit);
    void serveWorkTimeReset(PacketExecutor &exec);
    void serveClock(PacketExecutor &exec);
    void serveConfiguration(PacketExecutor &exec);
    bool writeGuarded(PacketExecutor &exec, const DataPacket &packet);
    void sleepRestOfCycle(qint64 elapsedMs);
    void stopRunning();
    // The event is built inside, so that everything it carries is made in one place.
    template <typename Event, typename... Args> void emitEvent(Args &&...args)
    {
        auto event = std::make_shared<Event>(std::forward<Args>(args)...);
        event->setConnection(connectionNumber);
        emit dataEvent(std::move(event));
    }
    // A guarded request's result: refused when its last write was answered with an exception.
    template <typename Event, typename... Args> void emitResult(bool ok, Args &&...args)
    {
        auto event = std::make_shared<Event>(std::forward<Args>(args)...);
        event->setConnection(connectionNumber);
        event->setRefused(!ok && lastWriteRefused);
        emit dataEvent(std::move(event));
    }
    bool keepRunning() const { return running.load(); }
    void onFrame(const FrameRecord &record) override;
    void visitEvent(std::shared_ptr<DataEvent> event) override;

    const DeviceInfo info;
    const QString path;
    const quint64 connectionNumber;
    ProtocolTiming timing;
    LineOptions lineOptions;
    std::atomic<bool> trafficEvents {false};
    std::unique_ptr<ConfigPacket> configuration;
    std::unique_ptr<RunConfigPacket> startCharacteristic;
    std::unique_ptr<RunConfigProgressPacket> setupProgress;

    // Requests: written by the interface thread, taken by the worker.
    std::atomic<ConfigPacket *> pendingConfiguration {nullptr}; // owned; released in the destructor
    std::atomic<bool> configReadRequested {false};
    std::atomic<bool> running {false};
    std::atomic<qint16> accessCode {0};
    std::atomic<quint32> clockValue {0};
    std::atomic<bool> setClockRequested {false};
    std::atomic<bool> resetCrashProtocolRequested {false};
    std::atomic<bool> resetWorkProtocolRequested {false};
    std::atomic<bool> resetWorkTimeRequested {false};
    std::atomic<bool> toggleOutputRequested {false};
    std::atomic<EngineCommand> engineCommand {EngineCommand::None};
    std::atomic<bool> autoSetupRequested {false};

    // The worker's own: the line of the run, and how its last guarded write ended.
    ModbusPort *line = nullptr;
    bool lastWriteRefused = false;

    std::mutex sleepMutex;
    std::condition_variable wakeUp; // ends the pause between cycles at a stop
};
