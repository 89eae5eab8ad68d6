#include "exchange/devicevisit.h"

#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/deviceidentity.h"
#include "device/oscillogrammark.h"
#include "device/packetfactory.h"
#include "device/protocolpacket.h"
#include "device/registermap.h"
#include "device/watchdatapacket.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/devicesession.h"
#include "exchange/visitsink.h"
#include "link/modbusport.h"
#include "link/packetexecutor.h"
#include "link/tdatapacket.h"

#include <algorithm>

namespace {

// The confirming request's time-out against the slowest reply of the line.
constexpr int kConfirmFactor = 4;

// A record of a device's logs as told apart from the others: its code and time.
quint64 visitRecordKey(int code, quint32 time)
{
    return quint64(quint16(code)) << 32 | time;
}

// From what time of the device's own a record or an oscillogram is news: from its clock
// when that log was last looked at, read in the same visit; so a trip while the link
// was down is news, and the records a replaced unit (or a reset memory) brings, older
// than that clock, are not, whatever the newest record seen. Before the clock is known,
// from the newest record seen.
quint32 newsSince(quint32 clockAtLastLook, quint32 newestSeen)
{
    return clockAtLastLook > 0 ? clockAtLastLook - std::min(clockAtLastLook, RegisterMap::kStampSlackSeconds) : newestSeen;
}

// What one read of a log shows against what was seen: a record not there at the last
// read is news unless it is older than since; then it belongs to logs that were
// replaced. The copy keeps only the news unless keepAll; last becomes this read's
// records and newest the newest of them.
template <typename Log>
void sortOutNews(Log &copy, QSet<quint64> &last, quint32 since, bool keepAll, quint32 &newest, int &news,
                 int &replaced)
{
    QSet<quint64> records;
    for (int i = 0; i < Log::kRecords; ++i) {
        const int code = copy.code(i);
        const quint32 time = copy.time(i);
        if (code == 0)
            continue;
        const quint64 key = visitRecordKey(code, time);
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

DeviceVisit::DeviceVisit(DeviceSession &s, VisitSink &out, Mode m, const std::atomic<bool> *flag)
    : session(s)
    , sink(out)
    , mode(m)
    , running(flag)
    , oscillogramKnown(m == Mode::Whole)
    , logsChanged(m == Mode::News)
{
}

DeviceVisit::~DeviceVisit() = default;

void DeviceVisit::setDevice(const DeviceInfo &device)
{
    const bool hadBlocks = bool(live);
    const bool sameBlocks = hadBlocks && DeviceIdentity::sameModel(device, info);
    info = device;
    quiet = false; // it has just told who it is
    if (sameBlocks)
        return;
    live = PacketFactory::monitoring(device.modification);
    workLog = PacketFactory::workProtocol(device.modification);
    crashLog = std::make_unique<CrashProtocolPacket>(device.currentScale);
    oscillogram = std::make_unique<CrashOscillogramPacket>();
    logsChanged = logsChanged || hadBlocks;
}

void DeviceVisit::setConnected()
{
    link = Link::Up;
}

bool DeviceVisit::visit()
{
    if (!live)
        return false;
    OscillogramMark mark;
    const bool markRead = read(mark);
    // What the logs hold when the device is first seen is read before its first state,
    // so that anything later is news to whoever has seen that state.
    if (mode == Mode::News && !logsKnown && keepRunning())
        checkLogs();
    if (!keepRunning() || !readMonitoring())
        return false;
    const bool logsLooked = checkLogs();
    if (markRead && logsLooked && keepRunning())
        lookAtOscillogram(mark);
    return keepRunning();
}

bool DeviceVisit::read(DataPacket &packet)
{
    if (quiet)
        return false;
    if (session.executor().readPacket(packet))
        return keepRunning(); // a stop cuts a read short: it read nothing sure
    quiet = session.port().failure() == ModbusPort::Failure::NoAnswer;
    // Even when it is back before the next visit (a network connection reset and made
    // again at once), a line that went away was a lost link.
    if (session.port().lineGone())
        noteLost();
    return false;
}

bool DeviceVisit::noteLost()
{
    if (link != Link::Up || !keepRunning())
        return false;
    link = Link::Down;
    sink.visitEvent(std::make_shared<DataEventError>(DataEventError::LinkLost));
    return true;
}

bool DeviceVisit::readMonitoring()
{
    const bool read = (!quiet && session.executor().readPacket(*live)) || (keepRunning() && confirmLink());
    if (!read || !keepRunning()) {
        noteLost();
        return false;
    }
    quiet = false;
    clock = live->deviceTime();
    if (link != Link::Up)
        sink.visitEvent(std::make_shared<DataEvent>(link == Link::Down ? DataEvent::LinkRestored : DataEvent::Connected));
    link = Link::Up;
    sink.visitEvent(std::make_shared<DataEventGet>(*live));
    return true;
}

// One lost reply is not a lost link: the live values are asked for once more at once.
// A device that answered a moment ago answers again within its usual time, so this
// request waits no longer than the search's probe, or four times the slowest reply of
// the line, whichever is longer (never beyond the read time-out).
bool DeviceVisit::confirmLink()
{
    ModbusPort &line = session.port();
    const int full = session.readTimeout();
    const int slowest = int(line.statistics().maxResponseUs / 1000);
    line.setReadTimeout(qMin(full, qMax(session.probeTimeout(), kConfirmFactor * slowest)));
    const bool ok = session.executor().readPacket(*live);
    line.setReadTimeout(full);
    return ok;
}

bool DeviceVisit::checkLogs()
{
    TDataPacket<unsigned int> crashMark(RegisterMap::CrashLogNewestTime);
    TDataPacket<unsigned int> workMark(RegisterMap::WorkLogNewestTime);
    if (!read(crashMark) || !read(workMark) || !keepRunning())
        return false;
    if (crashMark.value != lastCrashMark || workMark.value != lastWorkMark)
        logsChanged = true;
    lastCrashMark = crashMark.value;
    lastWorkMark = workMark.value;
    if (logsChanged && !readLogs())
        return false;
    clockAtLogsLook = clock;
    return true;
}

bool DeviceVisit::readLogs()
{
    if (!read(*workLog) || !read(*crashLog) || !keepRunning())
        return false;
    logsChanged = false;
    if (mode == Mode::News)
        handOnNews();
    else
        sink.visitEvent(std::make_shared<DataEventGetProtocol>(*workLog, *crashLog));
    return true;
}

void DeviceVisit::handOnNews()
{
    const std::unique_ptr<ProtocolPacket> work(workLog->clone());
    const std::unique_ptr<CrashProtocolPacket> crash(crashLog->clone());
    const bool first = !logsKnown;
    int news = 0;
    int replaced = 0;
    quint32 newest = newestSeen;
    const quint32 since = newsSince(clockAtLogsLook, newestSeen);
    sortOutNews(*crash, crashRecords, since, first, newest, news, replaced);
    sortOutNews(*work, workRecords, since, first, newest, news, replaced);
    newestSeen = newest;
    logsKnown = true;
    if (first || news > 0)
        sink.visitEvent(std::make_shared<DataEventGetProtocol>(*work, *crash));
    if (!first && replaced > 0)
        sink.logsReplaced(replaced);
}

void DeviceVisit::lookAtOscillogram(const OscillogramMark &mark)
{
    if (!oscillogramKnown || mark.differsFrom(lastOscillogramCode, lastTripTime)) {
        const bool handOn = mode == Mode::Whole || oscillogramIsNews(mark);
        if (handOn && (!read(*oscillogram) || !keepRunning()))
            return; // read at the next visit
        oscillogramKnown = true;
        lastOscillogramCode = mark.faultCode();
        lastTripTime = mark.tripTime();
        if (mark.faultCode() != 0)
            newestSeen = std::max(newestSeen, mark.tripTime());
        if (handOn)
            sink.visitEvent(std::make_shared<CrashEventOscillogramGet>(*oscillogram));
    }
    clockAtOscillogramLook = clock;
}

// The one stored before we came is no news, nor one older than the device's clock at
// the last look at the mark (a replaced unit's); a later trip's is, and so is a second
// trip of the same kind.
bool DeviceVisit::oscillogramIsNews(const OscillogramMark &mark) const
{
    return oscillogramKnown && mark.faultCode() != 0
           && mark.tripTime() >= newsSince(clockAtOscillogramLook, newestSeen);
}
