#include "exchange/linepoller.h"

#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/deviceinfo.h"
#include "device/oscillogrammark.h"
#include "device/packetfactory.h"
#include "device/protocolpacket.h"
#include "device/registermap.h"
#include "device/searchpacket.h"
#include "device/watchdatapacket.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/pollersink.h"
#include "exchange/searchthread.h"
#include "link/modbusport.h"
#include "link/packetexecutor.h"
#include "link/tdatapacket.h"

#include <QElapsedTimer>

#include <algorithm>

struct LinePoller::Device {
    DeviceInfo info;
    bool identified = false;
    bool linkUp = false;
    bool everUp = false;
    qint64 dueMs = 0;
    quint16 lastOscillogramCode = 0;
    quint32 lastTripTime = 0;
    bool oscillogramKnown = false; // the one stored before we came is not news
    quint32 lastCrashMark = 0;
    quint32 lastWorkMark = 0;
    bool logsChanged = true; // read once at the start: what is already there
    std::unique_ptr<WatchDataPacket> monitoring;
    std::unique_ptr<ProtocolPacket> workProtocol;
    std::unique_ptr<CrashProtocolPacket> crashProtocol;
    std::unique_ptr<CrashOscillogramPacket> oscillogram;
};

LinePoller::LinePoller(const Line &line, PollerSink &sink)
    : setup(line)
    , sink(sink)
{
    for (int address : setup.addresses) {
        auto d = std::make_unique<Device>();
        d->info.address = address;
        d->info.baudRate = qint32(setup.baud);
        d->info.frameFormat = setup.frameFormat;
        devices.push_back(std::move(d));
    }
}

LinePoller::~LinePoller()
{
    stop();
}

void LinePoller::start()
{
    running = true;
    worker = std::thread([this] { run(); });
}

void LinePoller::stop()
{
    {
        std::lock_guard<std::mutex> lock(sleepMutex);
        running = false;
    }
    wakeUp.notify_all();
    if (worker.joinable())
        worker.join();
}

bool LinePoller::openPort(ModbusPort &port)
{
    if (!port.open())
        return false;
    port.setFrameFormat(setup.frameFormat);
    port.setSpeed(setup.baud);
    return true;
}

void LinePoller::emitEvent(const Device &device, DataEventPtr event)
{
    sink.deviceEvent(setup.name, device.info, event);
}

void LinePoller::run()
{
    ModbusPort port(setup.devicePath.toLocal8Bit());
    port.setLineOptions(setup.options);
    port.setRunningFlag(&running);
    port.setMaskedRegister(RegisterMap::AccessCode);
    port.setNetworkAllowance(setup.timing.networkAllowanceMs);
    setup.timing.applyTo(port);
    PacketExecutor exec(port, &running);
    QElapsedTimer clock;
    clock.start();
    while (running) {
        qint64 nextDue = clock.elapsed() + setup.timing.cyclePeriodMs;
        for (auto &d : devices) {
            if (!running)
                break;
            if (d->dueMs > clock.elapsed()) {
                nextDue = std::min(nextDue, d->dueMs);
                continue;
            }
            const qint64 began = clock.elapsed();
            // A line that went away (a pulled adapter, a dropped server) is opened again at each visit.
            const bool answered = (port.isOpen() || openPort(port)) && poll(port, exec, *d);
            if (!running)
                break;
            sink.transaction(setup.name, d->info.address, answered);
            if (!answered)
                noteLost(*d);
            d->dueMs = began + (answered ? setup.timing.cyclePeriodMs : setup.retryPeriodMs);
            nextDue = std::min(nextDue, d->dueMs);
        }
        std::unique_lock<std::mutex> lock(sleepMutex);
        const qint64 wait = nextDue - clock.elapsed();
        if (wait > 0)
            wakeUp.wait_for(lock, std::chrono::milliseconds(wait), [this] { return !running.load(); });
    }
}

bool LinePoller::poll(ModbusPort &port, PacketExecutor &exec, Device &device)
{
    port.setSlaveAddress(quint8(device.info.address));
    // Until it has answered, a device gets the search's short time-out.
    port.setReadTimeout(device.linkUp ? setup.timing.readTimeout(qint32(setup.baud))
                                      : setup.timing.probeTimeout(setup.baud));
    if (!device.identified && !identify(port, exec, device))
        return false;
    if (!device.linkUp)
        port.setReadTimeout(setup.timing.readTimeout(qint32(setup.baud)));
    // What the logs hold when the device is first seen is read before its first state,
    // so that anything later is news to whoever has seen that state.
    if (!device.everUp && device.logsChanged)
        readLogs(exec, device);
    readOscillogram(exec, device);
    return running && readMonitoring(exec, device);
}

bool LinePoller::identify(ModbusPort &, PacketExecutor &exec, Device &device)
{
    SearchPacket id;
    if (!exec.readPacket(id))
        return false;
    const DeviceInfo found = SearchThread::recognise(id);
    if (found.kind != DeviceInfo::Recognised)
        return false; // something else answers there: not ours to poll
    // A device swapped for another model (a replaced unit) starts afresh.
    if (!device.monitoring || found.modification != device.info.modification
        || found.currentScale != device.info.currentScale) {
        device.monitoring = PacketFactory::monitoring(found.modification);
        device.workProtocol = PacketFactory::workProtocol(found.modification);
        device.crashProtocol = std::make_unique<CrashProtocolPacket>(found.currentScale);
        device.oscillogram = std::make_unique<CrashOscillogramPacket>();
        device.oscillogramKnown = false;
        device.logsChanged = true;
    }
    device.info.kind = found.kind;
    device.info.modification = found.modification;
    device.info.currentScale = found.currentScale;
    device.info.minRatedCurrent = found.minRatedCurrent;
    device.info.maxRatedCurrent = found.maxRatedCurrent;
    device.identified = true;
    sink.deviceIdentified(setup.name, device.info);
    return true;
}

void LinePoller::readOscillogram(PacketExecutor &exec, Device &device)
{
    OscillogramMark mark;
    if (!exec.readPacket(mark) || !running)
        return;
    const bool news = device.oscillogramKnown && mark.faultCode() != 0
                      && mark.differsFrom(device.lastOscillogramCode, device.lastTripTime);
    if (device.oscillogramKnown && !news)
        return;
    if (news && (!exec.readPacket(*device.oscillogram) || !running))
        return; // tried again on the next poll
    device.oscillogramKnown = true;
    device.lastOscillogramCode = mark.faultCode();
    device.lastTripTime = mark.tripTime();
    if (news)
        emitEvent(device, std::make_shared<CrashEventOscillogramGet>(*device.oscillogram));
}

bool LinePoller::readMonitoring(PacketExecutor &exec, Device &device)
{
    if (!exec.readPacket(*device.monitoring) || !running)
        return false;
    if (!device.linkUp) {
        device.linkUp = true;
        if (device.everUp)
            emitEvent(device, std::make_shared<DataEvent>(DataEvent::LinkRestored));
        else
            emitEvent(device, std::make_shared<DataEvent>(DataEvent::Connected));
        device.everUp = true;
    }
    emitEvent(device, std::make_shared<DataEventGet>(*device.monitoring));
    readLogs(exec, device);
    return true;
}

void LinePoller::readLogs(PacketExecutor &exec, Device &device)
{
    if (device.logsChanged) {
        if (exec.readPacket(*device.workProtocol) && exec.readPacket(*device.crashProtocol) && running) {
            emitEvent(device, std::make_shared<DataEventGetProtocol>(*device.workProtocol, *device.crashProtocol));
            device.logsChanged = false;
        }
        return;
    }
    TDataPacket<unsigned int> crashMark(RegisterMap::CrashLogNewestTime);
    TDataPacket<unsigned int> workMark(RegisterMap::WorkLogNewestTime);
    if (!exec.readPacket(crashMark) || !exec.readPacket(workMark))
        return;
    if (crashMark.value != device.lastCrashMark || workMark.value != device.lastWorkMark)
        device.logsChanged = true;
    device.lastCrashMark = crashMark.value;
    device.lastWorkMark = workMark.value;
}

void LinePoller::noteLost(Device &device)
{
    if (!device.linkUp)
        return;
    device.linkUp = false;
    device.identified = false; // identified again when it answers: it may be another unit now
    emitEvent(device, std::make_shared<DataEventError>(DataEventError::LinkLost));
}
