#include "exchange/linepoller.h"

#include "device/deviceinfo.h"
#include "device/watchdatapacket.h"
#include "exchange/dataeventget.h"
#include "exchange/devicevisit.h"
#include "exchange/eventdispatch.h"
#include "exchange/linearbiter.h"
#include "exchange/pollersink.h"
#include "exchange/visitsink.h"

#include <algorithm>

// A device of the line: what its visit finds goes to the poller's sink with the line
// and the device as last identified.
struct LinePoller::Device : VisitSink {
    Device(LinePoller &owner, int address)
        : poller(owner)
        , visit(owner.session, *this, DeviceVisit::Mode::News, &owner.running)
    {
        info.address = address;
        info.baudRate = qint32(owner.setup.baud);
        info.frameFormat = owner.setup.frameFormat;
    }
    void visitEvent(std::shared_ptr<DataEvent> event) override
    {
        if (poller.arbiter)
            EventDispatch::visit(*event, EventHandlers {[this](const DataEventGet &e) { remember(*e.packet()); },
                                                        [](const DataEvent &) {}});
        poller.sink.deviceEvent(poller.setup.name, info, std::move(event));
    }
    // The live values as read, for the masters that read them within a period.
    void remember(const WatchDataPacket &packet)
    {
        for (const RegisterRequest &r : packet.requests())
            poller.arbiter->remember(quint8(info.address), r.firstRegister, static_cast<const quint16 *>(r.buffer),
                                     int(r.byteCount / 2));
    }
    void logsReplaced(int olderRecords) override
    {
        poller.sink.logsReplaced(poller.setup.name, info.address, olderRecords);
    }

    LinePoller &poller;
    DeviceInfo info;
    bool identified = false;
    qint64 dueMs = 0;
    qint64 beganMs = 0; // the last visit's start
    DeviceVisit visit;
};

LinePoller::LinePoller(const Line &line, PollerSink &sink)
    : setup(line)
    , sink(sink)
    , requestObserver(line.name, sink)
    , session(line.devicePath, &running)
{
    session.port().setObserver(&requestObserver);
    session.setLineOptions(setup.options);
    session.setTiming(setup.timing);
    session.setDevice(setup.addresses.value(0, 1), qint32(setup.baud), setup.frameFormat);
    for (int address : setup.addresses)
        devices.push_back(std::make_unique<Device>(*this, address));
}

LinePoller::~LinePoller()
{
    stop();
}

void LinePoller::setArbiter(LineArbiter *a)
{
    arbiter = a;
    arbiter->setTimeouts(session.readTimeout(), session.probeTimeout());
    arbiter->setWake([this] {
        std::lock_guard<std::mutex> lock(sleepMutex);
        wakeUp.notify_all();
    });
    session.port().setBetweenTransactions([this] { arbiter->serve(session.port(), true); });
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
    if (arbiter)
        arbiter->lineDown(); // what waits is answered, a held line let go
    if (worker.joinable())
        worker.join();
}

void LinePoller::run()
{
    QElapsedTimer clock;
    clock.start();
    qint64 nextDue = 0;
    while (running) {
        serveMasters(nextDue <= clock.elapsed());
        nextDue = round(clock);
        serveMasters(nextDue <= clock.elapsed());
        std::unique_lock<std::mutex> lock(sleepMutex);
        const qint64 wait = nextDue - clock.elapsed();
        if (wait > 0)
            wakeUp.wait_for(lock, std::chrono::milliseconds(wait),
                            [this] { return !running.load() || (arbiter && arbiter->hasWork()); });
    }
    session.close();
}

qint64 LinePoller::round(const QElapsedTimer &clock)
{
    for (auto &d : devices) {
        if (!running)
            break;
        visitWritten();
        if (d->dueMs > clock.elapsed())
            continue;
        const qint64 began = clock.elapsed();
        // A line that went away (a pulled adapter, a dropped server) is opened again at each visit.
        const bool answered = (session.isOpen() || session.open()) && poll(*d);
        if (!running)
            break;
        sink.transaction(setup.name, d->info.address, answered);
        if (!answered) {
            d->visit.noteLost();
            d->identified = false; // identified again when it answers: it may be another unit now
        }
        if (arbiter)
            arbiter->setAnswering(quint8(d->info.address), answered);
        d->beganMs = began;
        d->dueMs = began + (answered ? setup.timing.cyclePeriodMs : setup.retryPeriodMs);
    }
    visitWritten();
    qint64 nextDue = clock.elapsed() + setup.timing.cyclePeriodMs;
    for (const auto &d : devices)
        nextDue = std::min(nextDue, d->dueMs);
    return nextDue;
}

void LinePoller::serveMasters(bool pollDue)
{
    if (!arbiter || !running || !arbiter->hasWork())
        return;
    if (session.isOpen() || session.open())
        arbiter->serve(session.port(), pollDue);
    else
        arbiter->lineDown();
}

// What a master wrote (settings, a command) is read back and published at once, but
// not more than four times a period: a master writing without pause does not make the
// line one device's.
void LinePoller::visitWritten()
{
    if (!arbiter)
        return;
    for (quint8 unit : arbiter->takeWritten())
        for (auto &d : devices)
            if (d->info.address == unit)
                d->dueMs = std::min(d->dueMs, d->beganMs + setup.timing.cyclePeriodMs / kWrittenVisitsPerPeriod);
}

bool LinePoller::poll(Device &device)
{
    session.setAddress(device.info.address);
    if (!device.identified && !identify(device))
        return false;
    return device.visit.visit();
}

// With the search's short time-out: a device that is not there does not hold the line.
bool LinePoller::identify(Device &device)
{
    DeviceInfo found;
    if (session.identifyAny(found, session.probeTimeout()) != DeviceSession::Identity::Matches)
        return false; // silent, or something else answers there: not ours to poll
    device.info = found;
    device.visit.setDevice(found);
    device.identified = true;
    sink.deviceIdentified(setup.name, device.info);
    return true;
}
