#include "exchange/deviceconnection.h"

#include "device/appprotocolevent.h"
#include "device/appprotocoleventengine.h"
#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "device/currentdeviceversion.h"
#include "device/protocolevent.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "device/watchdatapacket.h"
#include "exchange/datathread.h"
#include "exchange/eventdispatch.h"
#include "exchange/protocoltiming.h"

#include <QDateTime>

namespace {
// The event's block, or none when it came without one.
template <typename Block> void keepClone(std::unique_ptr<Block> &kept, const Block *block)
{
    if (block)
        kept.reset(block->clone());
}
} // namespace

DeviceConnection::DeviceConnection(QObject *parent) : QObject(parent) {}

// An exchange still running ends without a word: its thread's destructor stops it.
DeviceConnection::~DeviceConnection() = default;

void DeviceConnection::open(const DeviceInfo &device, const QString &devicePath, const LineOptions &options,
                            const ProtocolTiming &timing)
{
    close();
    currentDeviceVersion = device.modification;
    thread = std::make_unique<DataThread>(device, devicePath);
    thread->setLineOptions(options);
    thread->setTiming(timing);
    thread->setTrafficEvents(trafficEvents);
    connect(thread.get(), &DataThread::dataEvent, this, &DeviceConnection::onThreadEvent);
    emit exchangeStarting(thread.get());
    thread->startExchange();
}

void DeviceConnection::close()
{
    if (!thread)
        return;
    thread->stopExchange(); // reports code 2 here, before it returns
    thread.reset();
    appProtocol.clear();
    emit protocolChanged();
}

const DeviceInfo *DeviceConnection::device() const
{
    return thread ? &thread->device() : nullptr;
}

QString DeviceConnection::devicePath() const
{
    return thread ? thread->devicePath() : QString();
}

// Events still queued from a connection closed since must change nothing (a late
// type 1 would start a connection with no thread behind it); the stop's own type 2
// comes from the current thread while it still exists.
void DeviceConnection::onThreadEvent(DataEventPtr event)
{
    if (thread && event->connection() == thread->connection())
        take(*event);
}

void DeviceConnection::take(const DataEvent &event)
{
    EventDispatch::visit(event, EventHandlers {
        [this](const DataEventGet &e) {
            if (e.packet())
                onMonitoring(*e.packet());
        },
        [this](const DataEventError &e) { onError(e.error()); },
        [this](const DataEventGetProtocol &e) {
            if (e.protocol() && e.crashProtocol())
                appProtocol.merge(*e.protocol(), *e.crashProtocol());
            emit protocolChanged();
        },
        [this](const ConfigEvent &e) { onConfiguration(e); },
        [this](const RunConfigEventGet &e) { keepClone(newestStart, e.packet()); },
        [this](const RunConfigEventProgress &e) { keepClone(newestProgress, e.packet()); },
        [this](const CrashEventOscillogramGet &e) { keepClone(newestOscillogram, e.packet()); },
        [this](const DataEvent &e) {
            switch (e.type()) {
            case DataEvent::Connected: return onConnected();
            case DataEvent::LinkRestored: return addEntry(std::make_unique<AppProtocolEvent>(AppProtocolEvent::LinkRestored));
            case DataEvent::CrashProtocolReset: return onCleared(ProtocolEvent::CrashLog);
            case DataEvent::WorkProtocolReset: return onCleared(ProtocolEvent::WorkLog);
            default: return;
            }
        }});
    emit dataEvent(&event);
}

// A new connection: nothing of the one before is its own, but the temperatures of
// the same device run on.
void DeviceConnection::onConnected()
{
    writeCheck.reset();
    newestMonitoring.reset();
    newestStart.reset();
    newestProgress.reset();
    newestOscillogram.reset();
    live.clear();
    const DeviceInfo *now = device();
    if (!now || !temperaturesOf || !sameDevice(*temperaturesOf, *now))
        temperatures.clear();
    temperaturesOf = now ? std::optional<DeviceInfo>(*now) : std::nullopt;
    addEntry(std::make_unique<AppProtocolEvent>(AppProtocolEvent::Connected));
}

// A run that ended at its start has nothing more to say: its thread goes at once.
void DeviceConnection::onError(int code)
{
    switch (code) {
    case DataEventError::PortNotOpened:
    case DataEventError::IdentificationUnreadable:
    case DataEventError::IdentificationMismatch:
        thread.reset(); // its run has ended; the destructor waits for it
        return;
    case DataEventError::LinkLost:
        addEntry(std::make_unique<AppProtocolEvent>(AppProtocolEvent::LinkLost));
        return;
    }
}

void DeviceConnection::onConfiguration(const ConfigEvent &event)
{
    if (!event.packet())
        return;
    const ConfigWriteCheck::Outcome outcome = writeCheck.onConfiguration(*event.packet(), event.result());
    if (outcome == ConfigWriteCheck::Outcome::Written) {
        addEntry(std::make_unique<AppProtocolEvent>(AppProtocolEvent::ConfigWritten));
        requestReadConfig(); // the read-back
    }
    emit configurationChecked(outcome, event);
}

// Stamped as it arrives, with the local clock, as the watch tab's plots stamp theirs.
void DeviceConnection::onMonitoring(const WatchDataPacket &block)
{
    newestMonitoring.reset(block.clone());
    const SampleWindow::Sample sample = SampleWindow::Sample::of(quint32(QDateTime::currentSecsSinceEpoch()), block);
    live.append(sample);
    temperatures.append(sample);
}

void DeviceConnection::onCleared(int kind)
{
    appProtocol.removeKind(kind);
    emit protocolChanged();
}

void DeviceConnection::addEntry(std::unique_ptr<ProtocolEvent> entry)
{
    appProtocol.insert(std::move(entry));
    emit protocolChanged();
}

void DeviceConnection::setPlotInterval(int seconds)
{
    live.setInterval(seconds);
    temperatures.setInterval(seconds);
}

bool DeviceConnection::sameDevice(const DeviceInfo &before, const DeviceInfo &now)
{
    return before.portNumber == now.portNumber && before.address == now.address;
}

void DeviceConnection::setAccessCode(quint16 code)
{
    if (thread)
        thread->setAccessCode(qint16(code));
}

void DeviceConnection::setTrafficEvents(bool on)
{
    trafficEvents = on;
    if (thread)
        thread->setTrafficEvents(on);
}

void DeviceConnection::requestReadConfig()
{
    if (thread)
        thread->requestReadConfig();
}

std::unique_ptr<ConfigPacket> DeviceConnection::requestWriteConfig(std::unique_ptr<ConfigPacket> configuration)
{
    return thread ? thread->requestWriteConfig(std::move(configuration)) : std::move(configuration);
}

void DeviceConnection::requestSetTime(quint32 secondsSince1970)
{
    if (thread)
        thread->requestSetTime(secondsSince1970);
}

void DeviceConnection::requestResetCrashProtocol()
{
    if (thread)
        thread->requestResetCrashProtocol();
}

void DeviceConnection::requestResetWorkProtocol()
{
    if (thread)
        thread->requestResetWorkProtocol();
}

void DeviceConnection::requestResetWorkTime()
{
    if (thread)
        thread->requestResetWorkTime();
}

void DeviceConnection::requestEngineCommand(EngineCommand command)
{
    if (!thread)
        return;
    addEntry(std::make_unique<AppProtocolEventEngine>(command));
    thread->requestEngineCommand(command);
}

void DeviceConnection::requestToggleOutput()
{
    if (thread)
        thread->requestToggleOutput();
}

void DeviceConnection::requestAutoSetup()
{
    if (thread)
        thread->requestAutoSetup();
}
