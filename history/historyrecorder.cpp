#include "history/historyrecorder.h"

#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/currentscale.h"
#include "device/eventdata.h"
#include "device/eventdatav50.h"
#include "device/protocolpacket.h"
#include "device/watchdatapacket.h"
#include "exchange/datathread.h"
#include "exchange/eventdispatch.h"
#include "history/historystore.h"
#include "history/oscillogramblock.h"

#include <QDateTime>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <future>
#include <tuple>

namespace {

// Codes and numbers only: the words are the reader's (HistoryEventText).
QVector<HistoryEvent> logEntries(const ProtocolPacket &work, const CrashProtocolPacket &crash)
{
    QVector<HistoryEvent> out;
    for (int i = 0; i < ProtocolPacket::kRecords; ++i) {
        const std::unique_ptr<EventData> record = work.event(i);
        if (!record || record->code == EventData::Empty)
            continue;
        HistoryEvent e {qint64(record->time) * 1000, HistoryEvent::WorkLog, record->code};
        if (const auto *withPeak = dynamic_cast<const EventDataV50 *>(record.get()))
            e.startPeak = double(withPeak->startPeak);
        out.append(e);
    }
    for (int i = 0; i < CrashProtocolPacket::kRecords; ++i) {
        const CrashRecord r = crash.record(i);
        if (r.code == 0)
            continue;
        HistoryEvent e {qint64(r.time) * 1000, HistoryEvent::CrashLog, r.code};
        e.phases.emplace();
        for (int p = 0; p < HistorySample::kPhases; ++p) {
            e.phases->currents[p] = r.currents[p];
            e.phases->voltages[p] = r.voltages[p];
        }
        out.append(e);
    }
    return out;
}

} // namespace

bool HistoryRecorder::Key::operator<(const Key &o) const
{
    return std::tie(line, address, identity, currentScale) < std::tie(o.line, o.address, o.identity, o.currentScale);
}

HistoryRecorder::HistoryRecorder(const QString &databasePath, QObject *parent)
    : QObject(parent), path(databasePath), store(std::make_unique<HistoryStore>()),
      now([] { return QDateTime::currentMSecsSinceEpoch(); }),
      say([](int, const QString &text) { QTextStream(stderr) << "orbix: " << text << '\n'; })
{
}

HistoryRecorder::~HistoryRecorder() { stop(); }

void HistoryRecorder::setRetention(int full, int minute)
{
    fullDays = full;
    minuteDays = minute;
}

void HistoryRecorder::setRetryInterval(int firstMs, int maxMs)
{
    retryFirstMs = firstMs;
    retryMaxMs = maxMs;
}

bool HistoryRecorder::start()
{
    // Qt's database connections belong to the thread that made them: the writer opens its own.
    std::promise<bool> opened;
    std::future<bool> result = opened.get_future();
    writer = std::thread([this, &opened] {
        const bool ok = store->open(path);
        const bool later = !ok && store->locked(); // another program's transaction ends
        if (!ok)
            openError = store->error();
        if (later)
            reportFailure(openError + QStringLiteral(" (trying again)"));
        storeOpen = ok;
        opened.set_value(ok || later);
        if (ok || (later && waitForStore()))
            run();
    });
    if (result.get())
        return true;
    writer.join();
    return false;
}

void HistoryRecorder::stop()
{
    if (!writer.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    writer.join();
}

void HistoryRecorder::flush()
{
    if (!writer.joinable())
        return;
    std::unique_lock<std::mutex> lock(mutex);
    const quint64 ticket = ++flushRequested;
    wake.notify_all();
    wake.wait(lock, [&] { return flushDone >= ticket; });
}

HistoryRecorder::Key HistoryRecorder::keyOf(const DeviceInfo &device, const QString &line)
{
    return {line, device.address, identity(device), device.currentScale};
}

void HistoryRecorder::record(const DeviceInfo &device, const QString &line, const HistorySample &sample)
{
    if (!storeOpen) {
        ++lost;
        return;
    }
    const Key key = keyOf(device, line);
    std::lock_guard<std::mutex> lock(mutex);
    pending[key].samples.append(sample);
}

void HistoryRecorder::recordEvent(const DeviceInfo &device, const QString &line, const HistoryEvent &event)
{
    if (!storeOpen)
        return;
    const Key key = keyOf(device, line);
    std::lock_guard<std::mutex> lock(mutex);
    pending[key].events.append(event);
}

void HistoryRecorder::recordOscillogram(const DeviceInfo &device, const QString &line,
                                        const CrashOscillogramPacket &packet)
{
    if (!storeOpen || packet.faultCode() == 0)
        return;
    const HistoryOscillogram o {0, packet.tripTime(), packet.faultCode(), now(), OscillogramBlock::encode(packet)};
    const Key key = keyOf(device, line);
    std::lock_guard<std::mutex> lock(mutex);
    pending[key].oscillograms.append(o);
}

void HistoryRecorder::recordDataEvent(const DeviceInfo &device, const QString &line, const DataEvent &event)
{
    EventDispatch::visit(event, EventHandlers {
        [&](const DataEventGet &e) {
            if (const WatchDataPacket *p = e.packet())
                record(device, line, sample(*p, CurrentScale(device.currentScale), now()));
        },
        [&](const DataEventGetProtocol &e) {
            if (e.protocol() && e.crashProtocol())
                for (const HistoryEvent &entry : logEntries(*e.protocol(), *e.crashProtocol()))
                    recordEvent(device, line, entry);
        },
        [&](const DataEventError &e) {
            if (e.error() == DataEventError::LinkLost)
                recordEvent(device, line, {now(), HistoryEvent::Link, HistoryEvent::LinkLost});
        },
        [&](const CrashEventOscillogramGet &e) {
            if (const CrashOscillogramPacket *p = e.packet())
                recordOscillogram(device, line, *p);
        },
        [&](const DataEvent &e) { // LinkRestored carries nothing but its code
            if (e.type() == DataEvent::LinkRestored)
                recordEvent(device, line, {now(), HistoryEvent::Link, HistoryEvent::LinkRestored});
        }});
}

void HistoryRecorder::attach(DataThread &thread, const QString &line)
{
    const DeviceInfo device = thread.device();
    connect(&thread, &DataThread::dataEvent, this,
            [this, device, line](const DataEventPtr &event) { recordDataEvent(device, line, *event); },
            Qt::DirectConnection);
}

// Opens the file again and again, each wait twice the last up to the longest, answering
// flushes meanwhile (nothing is queued before the file is open); false when stopped first.
bool HistoryRecorder::waitForStore()
{
    using Clock = std::chrono::steady_clock;
    int delayMs = retryFirstMs;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        const auto next = Clock::now() + std::chrono::milliseconds(delayMs);
        while (!stopping && Clock::now() < next) {
            wake.wait_until(lock, next, [&] { return stopping || flushRequested > flushDone; });
            flushDone = flushRequested;
            wake.notify_all();
        }
        if (stopping)
            return false;
        lock.unlock();
        const bool ok = store->open(path);
        lock.lock();
        if (ok) {
            storeOpen = true;
            return true;
        }
        delayMs = std::min(delayMs * 2, retryMaxMs);
    }
}

void HistoryRecorder::run()
{
    using Clock = std::chrono::steady_clock;
    auto nextRetention = Clock::now();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        const auto nextBatch = Clock::now() + std::chrono::milliseconds(batchMs);
        wake.wait_until(lock, nextBatch, [&] { return stopping || flushRequested > flushDone; });
        const quint64 ticket = flushRequested;
        std::map<Key, Pending> batch;
        batch.swap(pending);
        const bool last = stopping;
        lock.unlock();
        writeBatch(batch);
        if (Clock::now() >= nextRetention && !last) {
            if (!store->applyRetention(now(), fullDays, minuteDays))
                reportFailure(store->error());
            nextRetention = Clock::now() + std::chrono::milliseconds(retentionPassMs);
        }
        lock.lock();
        flushDone = ticket;
        wake.notify_all();
        if (last)
            break;
    }
    lock.unlock();
    store->close();
}

void HistoryRecorder::writeBatch(std::map<Key, Pending> &batch)
{
    bool ok = true;
    for (const auto &entry : batch)
        ok = writeDevice(entry.first, entry.second) && ok;
    if (ok && !batch.empty())
        reportResumed();
}

bool HistoryRecorder::writeDevice(const Key &key, const Pending &p)
{
    auto it = deviceIds.find(key);
    qint64 id = it != deviceIds.end() ? it->second : 0;
    if (id == 0) {
        id = store->deviceId(key.line, key.address, key.identity, key.currentScale);
        if (id != 0)
            deviceIds[key] = id;
    }
    bool ok = id != 0;
    if (ok && !p.samples.isEmpty())
        ok = store->appendSamples(id, p.samples);
    if (ok)
        written += quint64(p.samples.size());
    else
        lost += quint64(p.samples.size());
    if (ok && !p.events.isEmpty())
        ok = store->appendEvents(id, p.events);
    for (const HistoryOscillogram &o : p.oscillograms)
        ok = ok && store->appendOscillogram(id, o);
    if (!ok)
        reportFailure(store->error());
    return ok;
}

// The writer's: a failure is logged when writing stops working, the signal once per recorder.
void HistoryRecorder::reportFailure(const QString &reason)
{
    if (failing)
        return;
    failing = true;
    say(LogWarning, QStringLiteral("history not written: ") + reason);
    if (!failureSaid.exchange(true))
        emit failed(reason);
}

void HistoryRecorder::reportResumed()
{
    if (!failing)
        return;
    failing = false;
    say(LogNotice, QStringLiteral("history written again into %1 (%2 samples lost so far)").arg(path).arg(lost.load()));
}

QString HistoryRecorder::identity(const DeviceInfo &device)
{
    return QString::number(device.minRatedCurrent, 'f', 1) + QLatin1Char('-')
           + QString::number(device.maxRatedCurrent, 'f', 1) + QStringLiteral(" v")
           + QString::number(device.modification * 0.01, 'f', 2);
}

HistorySample HistoryRecorder::sample(const WatchDataPacket &p, const CurrentScale &scale, qint64 timeMs)
{
    HistorySample s;
    s.timeMs = timeMs;
    for (int phase = 0; phase < HistorySample::kPhases; ++phase) {
        s.currents[phase] = p.phaseCurrentAmperes(phase, scale);
        s.voltages[phase] = p.phaseVoltage(phase);
    }
    s.pt100 = p.pt100Temperature();
    s.heating = p.calculatedHeating();
    s.faultCode = p.faultCode();
    s.motorRunning = p.motorRunning();
    s.inputs = p.inputs();
    s.outputs = p.outputs();
    return s;
}
