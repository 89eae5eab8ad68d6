#include "exchange/linepoller.h"

#include "device/crashoscillogrampacket.h"
#include "device/deviceidentity.h"
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
#include "link/modbusport.h"
#include "link/packetexecutor.h"
#include "link/tdatapacket.h"

#include <QElapsedTimer>
#include <QSet>

#include <algorithm>

namespace {

// A record of a device's logs as told apart from the others: its code and time.
quint64 recordKey(int code, quint32 time)
{
    return quint64(quint16(code)) << 32 | time;
}

// A device may stamp a trip a little before it has written it down.
constexpr quint32 kStampSlackSeconds = 60;

// From what time of the device's own a record or an oscillogram is news: from its clock
// when that log was last looked at, read in the same visit just before; so a trip while
// the link was down is news, and the records a replaced unit (or a reset memory) brings,
// older than that clock, are not, whatever the newest record seen. Before the clock is
// known, from the newest record seen.
quint32 newsSince(quint32 clockAtLastLook, quint32 newestSeen)
{
    return clockAtLastLook > 0 ? clockAtLastLook - std::min(clockAtLastLook, kStampSlackSeconds) : newestSeen;
}

// What one read of a log shows against what was seen: a record not there at the last
// read is news unless it is older than since; then it belongs to logs that were
// replaced. The copy keeps only the news unless keepAll; last becomes this read's
// records and newest the newest of them.
template <typename Log>
void sortOut(Log &copy, QSet<quint64> &last, quint32 since, bool keepAll, quint32 &newest, int &news,
             int &replaced)
{
    QSet<quint64> records;
    for (int i = 0; i < Log::kRecords; ++i) {
        const int code = copy.code(i);
        const quint32 time = copy.time(i);
        if (code == 0)
            continue;
        const quint64 key = recordKey(code, time);
        records.insert(key);
        newest = std::max(newest, time);
        const bool isNews = !last.contains(key) && time >= since;
        news += isNews;
        replaced += !last.contains(key) && time < since;
        if (!isNews && !keepAll)
            copy.clearRecord(i);
    }
    last = records;
}

} // namespace

struct LinePoller::Device {
    DeviceInfo info;
    bool identified = false;
    bool linkUp = false;
    bool everUp = false;
    qint64 dueMs = 0;
    quint16 lastOscillogramCode = 0;
    quint32 lastTripTime = 0;
    bool oscillogramKnown = false; // the one stored before we came is not news
    quint32 newestSeen = 0; // the newest record's or oscillogram's time, the device's clock
    quint32 clock = 0;      // the device's clock as the last monitoring read gave it
    quint32 clockAtLogsLook = 0;        // clock when the log marks were last read
    quint32 clockAtOscillogramLook = 0; // clock when the oscillogram mark was last read
    quint32 lastCrashMark = 0;
    quint32 lastWorkMark = 0;
    bool logsChanged = true;
    bool logsKnown = false; // the first read is what was there before us: handed on whole
    QSet<quint64> crashRecords; // those of the last read
    QSet<quint64> workRecords;
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
    // What the logs and the oscillogram hold when the device is first seen is read
    // before its first state, so that anything later is news to whoever has seen that state.
    if (!device.logsKnown)
        readLogs(exec, device);
    if (!device.oscillogramKnown)
        readOscillogram(exec, device);
    if (!running || !readMonitoring(exec, device))
        return false;
    // The logs before the oscillogram: a trip is handed on before its oscillogram.
    checkLogs(exec, device);
    readOscillogram(exec, device);
    return running;
}

bool LinePoller::identify(ModbusPort &, PacketExecutor &exec, Device &device)
{
    SearchPacket id;
    if (!exec.readPacket(id))
        return false;
    const DeviceInfo found = DeviceIdentity::recognise(id);
    if (found.kind != DeviceInfo::Recognised)
        return false; // something else answers there: not ours to poll
    // A device swapped for another model (a replaced unit) starts afresh.
    if (!device.monitoring || found.modification != device.info.modification
        || found.currentScale != device.info.currentScale) {
        device.monitoring = PacketFactory::monitoring(found.modification);
        device.workProtocol = PacketFactory::workProtocol(found.modification);
        device.crashProtocol = std::make_unique<CrashProtocolPacket>(found.currentScale);
        device.oscillogram = std::make_unique<CrashOscillogramPacket>();
        device.logsChanged = true; // what was seen before stays: the new unit's old records are no news
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
    if (device.oscillogramKnown && !mark.differsFrom(device.lastOscillogramCode, device.lastTripTime)) {
        device.clockAtOscillogramLook = device.clock;
        return;
    }
    // The one stored before we came is no news, nor one older than the device's clock at
    // the last look at the mark (a replaced unit's); a later trip's is, and so is a
    // second trip of the same kind.
    const bool news = device.oscillogramKnown && mark.faultCode() != 0
                      && mark.tripTime() >= newsSince(device.clockAtOscillogramLook, device.newestSeen);
    // Its trip first: the device stores the crash record with the oscillogram.
    if (news && (!checkLogs(exec, device) || !exec.readPacket(*device.oscillogram) || !running))
        return; // tried again on the next poll
    device.oscillogramKnown = true;
    device.lastOscillogramCode = mark.faultCode();
    device.lastTripTime = mark.tripTime();
    if (mark.faultCode() != 0)
        device.newestSeen = std::max(device.newestSeen, mark.tripTime());
    device.clockAtOscillogramLook = device.clock;
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
    device.clock = device.monitoring->deviceTime();
    emitEvent(device, std::make_shared<DataEventGet>(*device.monitoring));
    return true;
}

bool LinePoller::checkLogs(PacketExecutor &exec, Device &device)
{
    TDataPacket<unsigned int> crashMark(RegisterMap::CrashLogNewestTime);
    TDataPacket<unsigned int> workMark(RegisterMap::WorkLogNewestTime);
    if (!exec.readPacket(crashMark) || !exec.readPacket(workMark) || !running)
        return false;
    if (crashMark.value != device.lastCrashMark || workMark.value != device.lastWorkMark)
        device.logsChanged = true;
    if (device.logsChanged && !readLogs(exec, device))
        return false;
    device.clockAtLogsLook = device.clock;
    return true;
}

bool LinePoller::readLogs(PacketExecutor &exec, Device &device)
{
    if (!exec.readPacket(*device.workProtocol) || !exec.readPacket(*device.crashProtocol) || !running)
        return false;
    const std::unique_ptr<ProtocolPacket> work(device.workProtocol->clone());
    const std::unique_ptr<CrashProtocolPacket> crash(device.crashProtocol->clone());
    const bool first = !device.logsKnown;
    int news = 0;
    int replaced = 0;
    quint32 newest = device.newestSeen;
    const quint32 since = newsSince(device.clockAtLogsLook, device.newestSeen);
    sortOut(*crash, device.crashRecords, since, first, newest, news, replaced);
    sortOut(*work, device.workRecords, since, first, newest, news, replaced);
    device.newestSeen = newest;
    device.logsKnown = true;
    device.logsChanged = false;
    // The marks are the newest records' times.
    device.lastCrashMark = device.crashProtocol->time(0);
    device.lastWorkMark = device.workProtocol->time(0);
    if (first || news > 0)
        emitEvent(device, std::make_shared<DataEventGetProtocol>(*work, *crash));
    if (!first && replaced > 0)
        sink.logsReplaced(setup.name, device.info.address, replaced);
    return true;
}

void LinePoller::noteLost(Device &device)
{
    if (!device.linkUp)
        return;
    device.linkUp = false;
    device.identified = false; // identified again when it answers: it may be another unit now
    emitEvent(device, std::make_shared<DataEventError>(DataEventError::LinkLost));
}
