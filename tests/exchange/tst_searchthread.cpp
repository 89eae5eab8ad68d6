// The search thread on a simulated line: the events of a scan, stop and continue
// at the same probe, devices under several formats, single probes, and a stop
// that does not wait for a silent line.
#include "device/deviceinfo.h"
#include "exchange/eventdispatch.h"
#include "exchange/searchthread.h"
#include "sim/simulator.h"
#include "tests/exchange/searchrecorder.h"
#include "tests/testtiming.h"

#include <QtTest>

namespace {

ProtocolTiming withProbeTimeout(int ms)
{
    ProtocolTiming t = testTiming();
    t.probeTimeoutMs = ms;
    return t;
}

// The device of a Found event; an empty record for any other event.
const DeviceInfo &foundDevice(const SearchEventPtr &event)
{
    static const DeviceInfo none;
    return EventDispatch::visit(*event, EventHandlers {
        [](const SearchEventFound &e) -> const DeviceInfo & { return e.device(); },
        [](const SearchEvent &) -> const DeviceInfo & { return none; }});
}

// A simulated line with its devices, a search thread on it and what it reported.
struct SimulatedLine {
    Simulator sim;
    SearchThread thread;
    SearchRecorder rec;

    explicit SimulatedLine(const QVector<SimDeviceConfig> &devices = {})
    {
        for (const SimDeviceConfig &d : devices)
            sim.addDevice(d);
    }
    bool start()
    {
        if (!sim.start())
            return false;
        thread.setDevicePath(sim.linkPath());
        thread.setPortNumber(7);
        thread.setBaudRate(19200);
        thread.setTiming(testTiming());
        QObject::connect(&thread, &SearchThread::searchEvent, &rec, &SearchRecorder::onSearchEvent);
        return true;
    }
};

// Waits until the host clock reaches a moment (milliseconds since 1970, as the
// simulator stamps its requests).
bool waitUntil(qint64 momentMs)
{
    return QTest::qWaitFor([momentMs] { return QDateTime::currentMSecsSinceEpoch() >= momentMs; }, 10000);
}

} // namespace

class TestSearchThread : public QObject
{
    Q_OBJECT

private slots:
    void probeTimeoutBySpeed();
    void emptyLineScan();
    void emptyLineScanAtTheRealTiming();
    void stopAndContinueRepeatTheCutProbe();
    void probeCutAfterSomeReplyBytesIsRepeated();
    void lateEventsOfAnEarlierScanAreMarked();
    void devicesUnderSeveralFormats();
    void singleProbe();
    void stopOnASilentLineIsPrompt();
    void portThatCannotBeOpened();
};

void TestSearchThread::probeTimeoutBySpeed()
{
    QCOMPARE(ProtocolTiming::probeTimeoutFor(1200), 800);
    QCOMPARE(ProtocolTiming::probeTimeoutFor(2400), 400);
    QCOMPARE(ProtocolTiming::probeTimeoutFor(19200), 400);
    QCOMPARE(ProtocolTiming::probeTimeoutFor(38400), 300);
    ProtocolTiming t;
    QCOMPARE(t.probeTimeout(1200), 800);
    t.probeTimeoutMs = 25;
    QCOMPARE(t.probeTimeout(1200), 25);
}

void TestSearchThread::emptyLineScan()
{
    SimulatedLine line;
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    Simulator &sim = line.sim;
    thread.setTiming(emptyLineTiming());
    thread.startSearch();
    QVERIFY(rec.waitFor(SearchEvent::ScanDone, 1, 120000));
    QVERIFY(thread.wait(5000));
    const QList<int> types = rec.types();
    QCOMPARE(types.size(), 1 + 741 + 1);
    QCOMPARE(types.first(), int(SearchEvent::Started));
    QCOMPARE(types.count(SearchEvent::Progress), 741);
    QCOMPARE(types.last(), int(SearchEvent::ScanDone));
    QCOMPARE(thread.probeCount(), 741);
    // Over a pty two 10 ms probes can reach a busy simulator as one frame, so its record
    // is only checked for the last address reached.
    QCOMPARE(sim.requests().last().address, 247);
}

// The real probe time-out and reply gap, on a short range: a device answers,
// an empty address costs the full time-out.
void TestSearchThread::emptyLineScanAtTheRealTiming()
{
    SimulatedLine line({SimDeviceConfig {2, 70, 0, 19200, 2, 10}});
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    ProtocolTiming gapFraming;
    gapFraming.framing = ModbusPort::Framing::Gap;
    thread.setTiming(gapFraming);
    thread.setScanRange(2, 3);
    QElapsedTimer t;
    t.start();
    thread.startSearch();
    QVERIFY(rec.waitFor(SearchEvent::ScanDone, 1, 30000));
    QCOMPARE(rec.count(SearchEvent::Found), 1);
    QCOMPARE(rec.count(SearchEvent::Progress), 6);
    // Five silent probes of 400 ms and one answer ended by 250 ms of silence.
    QVERIFY2(t.elapsed() >= 5 * 400 + 250, qPrintable(QString::number(t.elapsed())));
}

void TestSearchThread::stopAndContinueRepeatTheCutProbe()
{
    SimulatedLine line;
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    Simulator &sim = line.sim;
    thread.setScanRange(1, 20);
    thread.setTiming(withProbeTimeout(30));
    thread.startSearch();
    QVERIFY(QTest::qWaitFor([&] { return thread.probeCount() >= 28; }, 20000));
    thread.stopSearch();
    QCOMPARE(rec.count(SearchEvent::Stopped), 1); // delivered before stopSearch returned
    const int stoppedAt = thread.probeCount();
    const int address = thread.nextAddress();
    const int format = thread.formatIndex();
    QCOMPARE(stoppedAt, (address - 1) * 3 + format);
    const int before = sim.requests().size();

    QCoreApplication::processEvents(); // progress queued before the stop
    rec.clear();
    thread.setTiming(emptyLineTiming());
    thread.toggleSearch(); // continue
    QVERIFY(rec.waitFor(SearchEvent::ScanDone, 1, 60000));
    QCOMPARE(thread.probeCount(), 60);
    QCOMPARE(rec.count(SearchEvent::Progress), 60 - stoppedAt);
    const QVector<SimRequest> all = sim.requests();
    QCOMPARE(all.at(before).address, address); // the probe cut off is made again
}

// A stop that arrives after the first bytes of a reply, while the master waits for
// the silence that ends it: that probe did not complete and is made again.
void TestSearchThread::probeCutAfterSomeReplyBytesIsRepeated()
{
    SimulatedLine line({SimDeviceConfig {2, 70, 0, 19200, 2, 10}});
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    Simulator &sim = line.sim;
    SimFault split;
    split.kind = SimFault::SplitReply;
    split.pauseMs = 1000;
    sim.setFault(split, 1, 2);
    ProtocolTiming slowEnd = withProbeTimeout(4000);
    slowEnd.replyGapMs = 3000; // the master waits long after the first half of the reply
    thread.setTiming(slowEnd);
    thread.setScanRange(2, 2);
    thread.startSearch();
    auto probedAddress2 = [&] {
        for (const SimRequest &r : sim.requests())
            if (r.address == 2)
                return r.timeMs;
        return qint64(0);
    };
    QVERIFY(QTest::qWaitFor([&] { return probedAddress2() > 0; }, 10000));
    // The first half leaves the simulator within a few milliseconds; stop well inside
    // the 3 s the master then waits for silence.
    QVERIFY(waitUntil(probedAddress2() + 300));
    thread.stopSearch();
    QCOMPARE(thread.probeCount(), 0);
    QCOMPARE(rec.count(SearchEvent::Found), 0);

    // The rest of the cut reply has gone out before the scan goes on (and is flushed
    // when the port opens again).
    QVERIFY(waitUntil(probedAddress2() + 300 + split.pauseMs));
    thread.setTiming(withProbeTimeout(30));
    thread.toggleSearch();
    QVERIFY(rec.waitFor(SearchEvent::ScanDone, 1, 20000));
    QCOMPARE(rec.count(SearchEvent::Found), 1);
    QCOMPARE(foundDevice(rec.all()[std::size_t(rec.types().indexOf(SearchEvent::Found))]).address, 2);
    QCOMPARE(thread.probeCount(), 3);
}

// Every event carries the number of its scan; a new scan gets a new one, a continued
// scan and a single probe keep it.
void TestSearchThread::lateEventsOfAnEarlierScanAreMarked()
{
    SimulatedLine line;
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    thread.setScanRange(1, 1);
    thread.setTiming(emptyLineTiming());
    thread.startSearch();
    QVERIFY(rec.waitFor(SearchEvent::ScanDone));
    QVERIFY(thread.wait(2000));
    const quint64 first = thread.scanNumber();
    thread.startSearch();
    QVERIFY(rec.waitFor(SearchEvent::ScanDone, 2));
    QVERIFY(thread.wait(2000));
    const quint64 second = thread.scanNumber();
    QVERIFY(second != first);
    thread.probeAt(1, 0);
    QVERIFY(rec.waitFor(SearchEvent::ProbeDone));
    QList<quint64> scans;
    for (const SearchEventPtr &e : rec.all())
        scans << e->scan();
    QCOMPARE(scans.count(first), 5);  // started, three probes, done
    QCOMPARE(scans.count(second), 7); // the same, then the single probe's start and end
}

void TestSearchThread::devicesUnderSeveralFormats()
{
    SimulatedLine line({SimDeviceConfig {2, 70, 0, 19200, 2, 10}, SimDeviceConfig {3, 80, 1, 19200, 1, 50},
               SimDeviceConfig {4, 40, 3, 19200, 10, 84},  // 8N2 answers the 8N15 probe too
               SimDeviceConfig {5, 70, 0, 9600, 2, 10}}); // another speed: silent
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    thread.setScanRange(2, 5);
    thread.startSearch();
    QVERIFY(rec.waitFor(SearchEvent::ScanDone, 1, 60000));
    QStringList found;
    for (const auto &e : rec.all())
        if (e->type() == SearchEvent::Found)
            found << foundDevice(e).displayText();
    QCOMPARE(found, (QStringList {"ОРБИКС-11 5.0-50.0 v0.7/2/19200/8E1/COM7",
                                  "ОРБИКС-11 50-500 v0.8/3/19200/8O1/COM7",
                                  "ОРБИКС-11 8.4-84.0 v0.4/4/19200/8N15/COM7"}));
    QCOMPARE(thread.probeCount(), 12);
}

void TestSearchThread::singleProbe()
{
    SimulatedLine line({SimDeviceConfig {9, 70, 1, 19200, 2, 10}});
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    thread.resetSearch();
    thread.probeAt(9, 1);
    QVERIFY(rec.waitFor(SearchEvent::ProbeDone));
    QCOMPARE(rec.types(), (QList<int> {SearchEvent::Started, SearchEvent::Found, SearchEvent::ProbeDone}));
    const DeviceInfo &d = foundDevice(rec.all()[1]);
    QCOMPARE(d.frameFormat, 1);
    QCOMPARE(d.address, 9);
    QCOMPARE(thread.nextAddress(), 1); // the scan position is not touched
    QCOMPARE(thread.probeCount(), 0);
    QVERIFY(thread.wait(2000));

    rec.clear();
    thread.probeAt(9, 0); // wrong format: the device keeps quiet
    QVERIFY(rec.waitFor(SearchEvent::ProbeDone));
    QCOMPARE(rec.types(), (QList<int> {SearchEvent::Started, SearchEvent::ProbeDone}));
}

void TestSearchThread::stopOnASilentLineIsPrompt()
{
    SimulatedLine line;
    QVERIFY2(line.start(), qPrintable(line.sim.errorString()));
    SearchThread &thread = line.thread;
    SearchRecorder &rec = line.rec;
    Simulator &sim = line.sim;
    thread.setBaudRate(1200);
    thread.setTiming(ProtocolTiming()); // 800 ms per probe
    thread.startSearch();
    QVERIFY(sim.waitForRequests(1, 5000));
    QElapsedTimer t;
    t.start();
    thread.stopSearch();
    // The port looks at the stop every 50 ms: far sooner than the 800 ms probe.
    QVERIFY2(t.elapsed() < 600, qPrintable(QString::number(t.elapsed())));
    QVERIFY(thread.isFinished());
    QCoreApplication::processEvents();
    QCOMPARE(rec.count(SearchEvent::Stopped), 1);
    QCOMPARE(thread.probeCount(), 0); // the probe that was cut off is not counted
}

void TestSearchThread::portThatCannotBeOpened()
{
    SearchThread thread;
    SearchRecorder rec;
    connect(&thread, &SearchThread::searchEvent, &rec, &SearchRecorder::onSearchEvent);
    thread.setDevicePath("/dev/orbix-absent");
    thread.startSearch();
    QVERIFY(rec.waitFor(SearchEvent::Error));
    QVERIFY(thread.wait(2000));
    QCOMPARE(rec.types(), QList<int> {SearchEvent::Error});
}

QTEST_GUILESS_MAIN(TestSearchThread)
#include "tst_searchthread.moc"
