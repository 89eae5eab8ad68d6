#include "exchange/datathread.h"

#include "device/configpacket.h"
#include "device/packetfactory.h"
#include "device/registermap.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "device/watchdatapacket.h"
#include "exchange/changeautoconfigstate.h"
#include "exchange/configevent.h"
#include "exchange/dataeventerror.h"
#include "exchange/devicesession.h"
#include "exchange/devicevisit.h"
#include "exchange/linkstatisticsevent.h"
#include "exchange/runconfigeventget.h"
#include "exchange/runconfigeventprogress.h"
#include "exchange/runhandover.h"
#include "exchange/trafficevent.h"
#include "link/modbusport.h"
#include "link/packetexecutor.h"
#include "link/tdatapacket.h"

#include <QElapsedTimer>

namespace {

constexpr int kV80 = PacketFactory::kModificationV80; // the start counter exists from here
constexpr quint16 kToggleAuxOutput = 1u << WatchDataPacket::AuxOutput;

std::atomic<quint64> lastConnection {0};

} // namespace

struct DataThread::RunState {
    int autoState = RunConfigProgressPacket::Running;
    bool startCharacteristicPending = false;
};

DataThread::DataThread(const DeviceInfo &device, const QString &devicePath, QObject *parent)
    : QThread(parent)
    , info(device)
    , path(devicePath)
    , connectionNumber(++lastConnection)
    , configuration(PacketFactory::configuration(device.modification))
    , startCharacteristic(std::make_unique<RunConfigPacket>(device.currentScale))
    , setupProgress(std::make_unique<RunConfigProgressPacket>())
{
    qRegisterMetaType<DataEventPtr>("DataEventPtr");
}

DataThread::~DataThread()
{
    stopRunning();
    wait();
    RunHandOver::taken(this);
    delete pendingConfiguration.exchange(nullptr);
}

// Under the pause's mutex, so that a run about to wait cannot miss the wake-up.
void DataThread::stopRunning()
{
    {
        std::lock_guard<std::mutex> lock(sleepMutex);
        running = false;
    }
    wakeUp.notify_all();
}

void DataThread::startExchange()
{
    running = true;
    setClockRequested = false;
    resetCrashProtocolRequested = false;
    resetWorkProtocolRequested = false;
    resetWorkTimeRequested = false;
    toggleOutputRequested = false;
    engineCommand = EngineCommand::None;
    autoSetupRequested = false;
    start();
}

void DataThread::stopExchange()
{
    stopRunning();
    wait();
    RunHandOver::taken(this);
    stoped();
}

void DataThread::stoped()
{
    emitEvent<DataEvent>(DataEvent::Disconnected);
}

void DataThread::requestSetTime(quint32 secondsSince1970)
{
    clockValue = secondsSince1970;
    setClockRequested = true;
}

std::unique_ptr<ConfigPacket> DataThread::requestWriteConfig(std::unique_ptr<ConfigPacket> configuration)
{
    ConfigPacket *expected = nullptr;
    if (pendingConfiguration.compare_exchange_strong(expected, configuration.get()))
        configuration.release(); // owned through pendingConfiguration from here
    return configuration;
}

bool DataThread::writeGuarded(PacketExecutor &exec, const DataPacket &packet)
{
    const bool ok = exec.writePacket(packet, PacketExecutor::Guard {RegisterMap::AccessCode, quint16(accessCode.load())});
    lastWriteRefused = !ok && line && line->failure() == ModbusPort::Failure::Exception;
    return ok;
}

bool DataThread::connectDevice(DeviceSession &session)
{
    if (!session.open()) {
        emitEvent<DataEventError>(DataEventError::PortNotOpened);
        return false;
    }
    configReadRequested = false;
    const DeviceSession::Identity identity = session.identify(info);
    if (!keepRunning())
        return false;
    if (identity == DeviceSession::Identity::Unreadable) {
        emitEvent<DataEventError>(DataEventError::IdentificationUnreadable);
        return false;
    }
    if (identity != DeviceSession::Identity::Matches) {
        emitEvent<DataEventError>(DataEventError::IdentificationMismatch);
        return false;
    }
    for (;;) {
        QElapsedTimer attempt;
        attempt.start();
        if ((session.isOpen() || session.open()) && session.readBlock(*configuration))
            break;
        if (!keepRunning())
            break;
        sleepRestOfCycle(attempt.elapsed()); // a line that fails at once is not hammered
    }
    if (!keepRunning())
        return false;
    emitEvent<DataEvent>(DataEvent::Connected);
    emitEvent<ConfigEvent>(*configuration, ConfigEvent::Read);
    return true;
}

void DataThread::run()
{
    runOnce();
    line = nullptr; // it lived in the run's session
    RunHandOver::released(this);
}

void DataThread::runOnce()
{
    DeviceSession session(path, &running);
    session.setLineOptions(lineOptions);
    session.setTiming(timing);
    session.setDevice(info.address, info.baudRate, info.frameFormat);
    ModbusPort &port = session.port();
    port.setObserver(this);
    line = &port;
    if (connectDevice(session))
        pollDevice(session);
}

void DataThread::pollDevice(DeviceSession &session)
{
    PacketExecutor &exec = session.executor();
    DeviceVisit visit(session, *this, DeviceVisit::Mode::Whole, &running);
    visit.setDevice(info);
    visit.setConnected(); // told with the configuration
    RunState state;
    while (keepRunning()) {
        QElapsedTimer timer;
        timer.start();
        const bool wasUp = visit.linkUp();
        // A line that went away (a pulled adapter) is opened again, once a cycle.
        if (session.isOpen() || session.open())
            cycle(exec, visit, state);
        else
            visit.noteLost();
        if (wasUp && !visit.linkUp())
            dropCommandsOfTheLink();
        emitEvent<LinkStatisticsEvent>(session.port().statistics());
        sleepRestOfCycle(timer.elapsed());
    }
}

// Commands without a result of their own would be carried out whenever the link came
// back: they are dropped with it.
void DataThread::dropCommandsOfTheLink()
{
    engineCommand = EngineCommand::None;
    toggleOutputRequested = false;
}

// In the exchange's own thread: the frame leaves as an event, the line goes on.
void DataThread::onFrame(const FrameRecord &record)
{
    if (trafficEvents.load())
        emitEvent<TrafficEvent>(record);
}

void DataThread::visitEvent(std::shared_ptr<DataEvent> event)
{
    event->setConnection(connectionNumber);
    emit dataEvent(std::move(event));
}

void DataThread::sleepRestOfCycle(qint64 elapsedMs)
{
    if (elapsedMs >= timing.cyclePeriodMs)
        return;
    std::unique_lock<std::mutex> lock(sleepMutex);
    wakeUp.wait_for(lock, std::chrono::milliseconds(timing.cyclePeriodMs - elapsedMs),
                    [this] { return !keepRunning(); });
}

// Once a request goes unanswered, the requests after it are not made until the live
// values are read again (the visit's rule): a cycle after an unanswered request, and
// every cycle while the link is down, only asks for the live values, and carries out
// no command.
void DataThread::cycle(PacketExecutor &exec, DeviceVisit &visit, RunState &state)
{
    readSetupProgress(visit, state);
    if (!keepRunning())
        return;
    if (state.startCharacteristicPending && visit.read(*startCharacteristic) && keepRunning()) {
        emitEvent<RunConfigEventGet>(*startCharacteristic);
        state.startCharacteristicPending = false;
    }
    if (!visit.silent()) // a command stays requested for a cycle that can carry it out
        serveCommands(exec, visit, state);
    if (keepRunning())
        visit.visit();
}

void DataThread::readSetupProgress(DeviceVisit &visit, RunState &state)
{
    if (!visit.read(*setupProgress) || !keepRunning())
        return;
    emitEvent<RunConfigEventProgress>(*setupProgress);
    const int now = setupProgress->state();
    if (now == state.autoState)
        return;
    if (now != RunConfigProgressPacket::Running)
        state.startCharacteristicPending = true;
    emitEvent<ChangeAutoConfigState>(state.autoState, now);
    state.autoState = now;
}

void DataThread::serveCommands(PacketExecutor &exec, DeviceVisit &visit, RunState &state)
{
    serveAutoSetup(exec, state);
    serveEngineCommand(exec);
    serveProtocolResets(exec);
    serveToggleOutput(exec, visit);
    serveWorkTimeReset(exec);
    serveClock(exec);
    serveConfiguration(exec);
    if (configReadRequested && exec.readPacket(*configuration) && keepRunning()) {
        configReadRequested = false;
        emitEvent<ConfigEvent>(*configuration, ConfigEvent::Read);
    }
}

void DataThread::serveAutoSetup(PacketExecutor &exec, RunState &state)
{
    if (!autoSetupRequested)
        return;
    TDataPacket<unsigned short> start(RegisterMap::AutoSetupState);
    start.value = RegisterMap::kAutoSetupStart;
    // Stays requested until the device takes it.
    if (writeGuarded(exec, start) && keepRunning()) {
        autoSetupRequested = false;
        state.autoState = RunConfigProgressPacket::Running;
    }
}

void DataThread::serveEngineCommand(PacketExecutor &exec)
{
    const EngineCommand command = engineCommand.exchange(EngineCommand::None);
    if (command == EngineCommand::None)
        return;
    TDataPacket<unsigned short> packet(RegisterMap::EngineCommandRegister);
    packet.value = quint16(command);
    exec.writePacket(packet);
}

void DataThread::serveProtocolResets(PacketExecutor &exec)
{
    if (resetCrashProtocolRequested.exchange(false)) {
        TDataPacket<unsigned short> reset(RegisterMap::CrashLog);
        const bool ok = writeGuarded(exec, reset);
        emitResult<DataEvent>(ok, ok ? DataEvent::CrashProtocolReset : DataEvent::CrashProtocolNotReset);
    }
    if (resetWorkProtocolRequested.exchange(false)) {
        TDataPacket<unsigned short> reset(RegisterMap::WorkLog);
        const bool ok = writeGuarded(exec, reset);
        emitResult<DataEvent>(ok, ok ? DataEvent::WorkProtocolReset : DataEvent::WorkProtocolNotReset);
    }
}

void DataThread::serveToggleOutput(PacketExecutor &exec, const DeviceVisit &visit)
{
    if (!toggleOutputRequested.exchange(false))
        return;
    TDataPacket<unsigned short> outputs(RegisterMap::Outputs);
    outputs.value = visit.monitoring().outputs() ^ kToggleAuxOutput;
    exec.writePacket(outputs);
}

void DataThread::serveWorkTimeReset(PacketExecutor &exec)
{
    if (!resetWorkTimeRequested.exchange(false))
        return;
    TDataPacket<unsigned short> hours(RegisterMap::WorkTime);
    bool ok = writeGuarded(exec, hours);
    if (ok && info.modification >= kV80) {
        TDataPacket<unsigned int> starts(RegisterMap::StartCount);
        ok = writeGuarded(exec, starts);
    }
    emitResult<DataEvent>(ok, ok ? DataEvent::WorkTimeReset : DataEvent::WorkTimeNotReset);
}

void DataThread::serveClock(PacketExecutor &exec)
{
    if (!setClockRequested.exchange(false))
        return;
    TDataPacket<unsigned int> clock(RegisterMap::DeviceClock);
    clock.value = clockValue;
    const bool ok = writeGuarded(exec, clock);
    emitResult<DataEvent>(ok, ok ? DataEvent::ClockSet : DataEvent::ClockNotSet);
}

void DataThread::serveConfiguration(PacketExecutor &exec)
{
    std::unique_ptr<ConfigPacket> pending(pendingConfiguration.exchange(nullptr));
    if (!pending)
        return;
    if (writeGuarded(exec, *pending)) {
        configuration = std::move(pending);
        emitEvent<ConfigEvent>(*configuration, ConfigEvent::Written);
        return;
    }
    emitResult<ConfigEvent>(false, *configuration, ConfigEvent::NotWritten);
    // Entries before the failure may already be in the device: read back what it now holds.
    configReadRequested = true;
}
