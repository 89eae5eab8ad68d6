// The data exchange thread against the simulator: what goes on the wire at a
// start and in a cycle for each size of device, the connection failures, a link
// lost and restored, every command with its writes and events, and the stop.
#include "device/configpacketv70.h"
#include "exchange/configevent.h"
#include "exchange/dataeventerror.h"
#include "exchange/datathread.h"
#include "exchange/devicesession.h"
#include "sim/simulator.h"
#include "tests/exchange/eventrecorder.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"

#include <QtTest>

namespace {

constexpr quint16 kCode = 1234; // the simulator's default access code

// "function:register xcount", with a '*' when the access code went right before it.
QStringList wire(const QVector<SimRequest> &requests, int from = 0)
{
    QStringList out;
    for (int i = from; i < requests.size(); ++i) {
        const SimRequest &r = requests[i];
        if (r.function == 6 && r.firstRegister == 32)
            continue;
        const bool guarded = i > 0 && requests[i - 1].function == 6 && requests[i - 1].firstRegister == 32
            && requests[i - 1].values.value(0) == kCode;
        out << QStringLiteral("%1%2:%3x%4").arg(guarded ? "*" : "").arg(r.function).arg(r.firstRegister).arg(r.count);
    }
    return out;
}

int indexOfSequence(const QStringList &all, const QStringList &part)
{
    for (int i = 0; i + part.size() <= all.size(); ++i)
        if (all.mid(i, part.size()) == part)
            return i;
    return -1;
}

struct Connection {
    Simulator sim;
    std::unique_ptr<DataThread> thread;
    EventRecorder events;

    explicit Connection(const SimDeviceConfig &config) { sim.addDevice(config); }

    bool start(const DeviceInfo &device, const ProtocolTiming &timing = testTiming())
    {
        if (!sim.start())
            return false;
        // Quiet device: no auto-setup result, no oscillogram, empty logs.
        const int a = device.address;
        sim.setRegisterValue(a, 199, 1);
        sim.setRegisterValue(a, 303, 0);
        for (int r : {51, 52, 141, 142})
            sim.setRegisterValue(a, r, 0);
        thread = std::make_unique<DataThread>(device, sim.linkPath());
        thread->setTiming(timing);
        thread->setAccessCode(qint16(kCode));
        QObject::connect(thread.get(), &DataThread::dataEvent, &events, &EventRecorder::onDataEvent);
        thread->startExchange();
        return true;
    }
};

} // namespace

class TestDataThread : public QObject
{
    Q_OBJECT

private slots:
    void readTimeoutBySpeed();
    void startAndCycleOnTheWire_data();
    void startAndCycleOnTheWire();
    void cycleAtTheRealTiming_data();
    void cycleAtTheRealTiming();
    void connectionNumbersAreUnique();
    void connectionFailures_data();
    void connectionFailures();
    void linkLostAndRestored();
    void lostLinkToldWithinTwoTimeOuts_data();
    void lostLinkToldWithinTwoTimeOuts();
    void repluggedLineIsOpenedAgain();
    void commandsInOneCycle();
    void refusedCommandsAndServedOnce();
    void failedConfigurationWriteIsReadBack();
    void changedLogTimeFetchesBothLogs();
    void eachNewOscillogramIsRead();
    void stopWhileTheLineIsSilent();
    void sessionIdentifiesTheDeviceExpected_data();
    void sessionIdentifiesTheDeviceExpected();
    void sessionRetriesALostReplyNotARefusal();
    void sessionReadsNothingAfterAStop();
};

void TestDataThread::readTimeoutBySpeed()
{
    QCOMPARE(ProtocolTiming::readTimeoutFor(1200), 2450);
    QCOMPARE(ProtocolTiming::readTimeoutFor(2400), 1900);
    QCOMPARE(ProtocolTiming().readTimeout(1200), 2450);
}

void TestDataThread::startAndCycleOnTheWire_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QStringList>("cycle");
    const QStringList marks {"3:51x2", "3:141x2"};
    QTest::newRow("below 50") << 49 << QStringList {"3:1x4", "3:5x25"}
                              << QStringList {"3:199x6", "3:301x3", "3:33x17", "3:170x1"} + marks;
    QTest::newRow("70") << 70 << QStringList {"3:1x4", "3:5x25", "3:30x1", "3:190x2"}
                        << QStringList {"3:199x6", "3:301x3", "3:33x17", "3:170x1"} + marks;
    QTest::newRow("80") << 80 << QStringList {"3:1x4", "3:5x25", "3:30x1", "3:190x2"}
                        << QStringList {"3:199x6", "3:301x3", "3:33x17", "3:170x1", "3:171x2"} + marks;
}

void TestDataThread::startAndCycleOnTheWire()
{
    QFETCH(int, modification);
    QFETCH(QStringList, start);
    QFETCH(QStringList, cycle);
    SimDeviceConfig config;
    config.modification = modification;
    Connection c(config);
    QVERIFY(c.start(SimIdentity::of(config, 7)));
    QVERIFY(c.events.waitFor(DataEvent::Get, 3)); // two whole cycles behind it
    c.thread->stopExchange();
    QCOMPARE(c.events.types().mid(0, 4), (QList<int> {DataEvent::Connected, DataEvent::Config,
                                                        DataEvent::RunConfigProgress, DataEvent::Get}));
    QCOMPARE(c.events.last<ConfigEvent>(DataEvent::Config)->result(), int(ConfigEvent::Read));
    const QStringList seen = wire(c.sim.requests());
    QCOMPARE(seen.mid(0, start.size()), start);
    QCOMPARE(seen.mid(start.size(), cycle.size()), cycle);
    QCOMPARE(seen.mid(start.size() + cycle.size(), cycle.size()), cycle); // the marks did not change
}

void TestDataThread::cycleAtTheRealTiming_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("least");
    QTest::addColumn<int>("most");
    // Replies ended by their length: six transactions fit in the second, polled once a second
    // (a start held up by a busy machine makes the next period a little shorter).
    QTest::newRow("length") << int(ModbusPort::Framing::Length) << 900 << 1500;
    // Every reply ends after 250 ms of silence: a quiet cycle lasts more than 1.5 s.
    QTest::newRow("gap") << int(ModbusPort::Framing::Gap) << 6 * 250 << 6000;
}

void TestDataThread::cycleAtTheRealTiming()
{
    QFETCH(int, framing);
    QFETCH(int, least);
    QFETCH(int, most);
    SimDeviceConfig config;
    Connection c(config);
    ProtocolTiming timing;
    timing.framing = ModbusPort::Framing(framing);
    QVERIFY(c.start(SimIdentity::of(config, 7), timing));
    QVERIFY(c.events.waitFor(DataEvent::Get, 3, 20000));
    c.thread->stopExchange();
    QVector<qint64> cycleStarts;
    for (const SimRequest &r : c.sim.requests())
        if (r.firstRegister == 199)
            cycleStarts << r.timeMs;
    QVERIFY(cycleStarts.size() >= 3);
    const qint64 period = cycleStarts[2] - cycleStarts[1];
    QVERIFY2(period >= least && period < most, qPrintable(QString::number(period)));
}

void TestDataThread::connectionNumbersAreUnique()
{
    DeviceInfo d;
    std::unique_ptr<DataThread> first = std::make_unique<DataThread>(d, QString());
    const quint64 number = first->connection();
    first.reset();
    // The next thread may well live at the freed address; its number still differs.
    DataThread second(d, QString());
    QVERIFY(second.connection() != number);
    QVERIFY(number != 0);
}

void TestDataThread::connectionFailures_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("error");
    QTest::newRow("port cannot be opened") << "port" << int(DataEventError::PortNotOpened);
    QTest::newRow("identification unreadable") << "silent" << int(DataEventError::IdentificationUnreadable);
    QTest::newRow("another modification") << "modification" << int(DataEventError::IdentificationMismatch);
    QTest::newRow("another rated range") << "range" << int(DataEventError::IdentificationMismatch);
}

void TestDataThread::connectionFailures()
{
    QFETCH(QString, how);
    QFETCH(int, error);
    SimDeviceConfig config;
    Connection c(config);
    DeviceInfo d = SimIdentity::of(config, 7);
    if (how == "modification")
        d.modification = 71;
    if (how == "range")
        d.maxRatedCurrent = 49.0f;
    if (how == "silent")
        d.address = 2;
    QVERIFY(c.start(d));
    if (how == "port") {
        c.thread.reset(new DataThread(d, "/dev/orbix-absent"));
        QObject::connect(c.thread.get(), &DataThread::dataEvent, &c.events, &EventRecorder::onDataEvent);
        c.thread->startExchange();
    }
    QVERIFY(c.events.waitFor(DataEvent::Error));
    QVERIFY(c.thread->wait(5000)); // the run ends by itself
    QCoreApplication::processEvents();
    QCOMPARE(c.events.types(), QList<int> {DataEvent::Error});
    QCOMPARE(c.events.last<DataEventError>(DataEvent::Error)->error(), error);
}

void TestDataThread::linkLostAndRestored()
{
    SimDeviceConfig config;
    Connection c(config);
    QVERIFY(c.start(SimIdentity::of(config, 7)));
    QVERIFY(c.events.waitFor(DataEvent::Get));
    c.sim.setFault(SimFault {SimFault::NoReply});
    QVERIFY(c.events.waitFor(DataEvent::Error));
    QCOMPARE(c.events.last<DataEventError>(DataEvent::Error)->error(), int(DataEventError::LinkLost));
    const int gets = c.events.count(DataEvent::Get);
    c.sim.clearFaults();
    QVERIFY(c.events.waitFor(DataEvent::LinkRestored, 1, 30000));
    QVERIFY(c.events.waitFor(DataEvent::Get, gets + 1));
    c.thread->stopExchange();
    const QList<int> types = c.events.types();
    const int restored = types.indexOf(DataEvent::LinkRestored);
    QCOMPARE(types.value(restored + 1), int(DataEvent::Get)); // live values in the restoring cycle
    QCOMPARE(c.events.count(DataEvent::Error), 1);            // lost once, however long
    QCOMPARE(types.count(DataEvent::Connected), 1);
}

// At the real timing (19200 bit/s, a 1900 ms read time-out): a silent device is told
// lost after its first unanswered request and one short confirmation, not after every
// request of the cycle has waited its time-out; a single lost reply is no lost link.
void TestDataThread::lostLinkToldWithinTwoTimeOuts_data()
{
    QTest::addColumn<int>("lostReplies");
    QTest::addColumn<bool>("lost");
    QTest::newRow("one lost reply") << 1 << false;
    QTest::newRow("a silent device") << -1 << true;
}

void TestDataThread::lostLinkToldWithinTwoTimeOuts()
{
    QFETCH(int, lostReplies);
    QFETCH(bool, lost);
    SimDeviceConfig config;
    Connection c(config);
    const ProtocolTiming timing;
    QVERIFY(c.start(SimIdentity::of(config, 7), timing));
    QVERIFY(c.events.waitFor(DataEvent::Get));
    QElapsedTimer t;
    t.start();
    c.sim.setFault(SimFault {SimFault::NoReply}, lostReplies); // the next cycle's first request on
    const int timeout = timing.readTimeout(config.baudRate);
    if (lost) {
        QVERIFY(c.events.waitFor(DataEvent::Error, 1, 4 * timeout));
        const qint64 told = t.elapsed();
        qInfo("link lost told %lld ms after the device fell silent", told);
        // The rest of the cycle's pause, one time-out, the confirmation, and slack for a loaded machine.
        QVERIFY2(told < timing.cyclePeriodMs + timeout + 2 * timing.probeTimeout(config.baudRate) + 300,
                 qPrintable(QString::number(told)));
    } else {
        const int gets = c.events.count(DataEvent::Get);
        QVERIFY(c.events.waitFor(DataEvent::Get, gets + 2, 4 * timeout));
        QCOMPARE(c.events.count(DataEvent::Error), 0);
    }
    c.thread->stopExchange();
}

// A pulled adapter: the line's descriptor dies with it. The run reports the link
// lost, opens the same path again once a cycle, and goes on when it is back.
void TestDataThread::repluggedLineIsOpenedAgain()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyORBIX");
    SimDeviceConfig config;
    Simulator sim;
    sim.addDevice(config);
    QVERIFY2(sim.start(link), qPrintable(sim.errorString()));
    DataThread thread(SimIdentity::of(config, 7), link);
    thread.setTiming(testTiming());
    EventRecorder events;
    QObject::connect(&thread, &DataThread::dataEvent, &events, &EventRecorder::onDataEvent);
    thread.startExchange();
    QVERIFY(events.waitFor(DataEvent::Get));
    sim.stop(); // the line is gone, and its name with it
    QVERIFY(events.waitFor(DataEvent::Error));
    QCOMPARE(events.last<DataEventError>(DataEvent::Error)->error(), int(DataEventError::LinkLost));
    QVERIFY2(sim.start(link), qPrintable(sim.errorString())); // plugged in again: a new pty behind the name
    QVERIFY(events.waitFor(DataEvent::LinkRestored, 1, 10000));
    const int gets = events.count(DataEvent::Get);
    QVERIFY(events.waitFor(DataEvent::Get, gets + 1));
    thread.stopExchange();
    QCOMPARE(events.count(DataEvent::Connected), 1); // the same connection all along
    QCOMPARE(events.count(DataEvent::Error), 1);
}

void TestDataThread::commandsInOneCycle()
{
    SimDeviceConfig config;
    config.modification = 80;
    Connection c(config);
    QVERIFY(c.start(SimIdentity::of(config, 7)));
    QVERIFY(c.events.waitFor(DataEvent::Get));
    const int from = c.sim.requests().size();
    // Set right after a cycle's live values: all of them are served by the next cycle.
    c.thread->requestSetTime(0x12345678);
    c.thread->requestResetCrashProtocol();
    c.thread->requestResetWorkProtocol();
    c.thread->requestResetWorkTime();
    c.thread->requestToggleOutput();
    c.thread->requestEngineCommand(EngineCommand::Forward);
    auto config70 = std::make_unique<ConfigPacketV70>();
    ConfigFields::setValue(*config70, ConfigFields::RatedCurrent, 40);
    QVERIFY(!c.thread->requestWriteConfig(std::move(config70))); // taken: nothing handed back
    QVERIFY(c.events.waitFor(DataEvent::Config, 2));
    QVERIFY(c.events.waitFor(DataEvent::Get, 3));
    c.thread->stopExchange();
    const QStringList seen = wire(c.sim.requests(), from);
    const QStringList expected {"16:31x1", "*16:50x1", "*16:140x1", "16:37x1", "*16:170x1", "*16:171x2",
                                "*16:48x2", "*16:5x25", "*16:30x1", "*16:190x2"};
    QVERIFY2(indexOfSequence(seen, expected) >= 0, qPrintable(seen.join(' ')));
    for (int type : {DataEvent::CrashProtocolReset, DataEvent::WorkProtocolReset, DataEvent::WorkTimeReset,
                     DataEvent::ClockSet})
        QCOMPARE(c.events.count(type), 1);
    QCOMPARE(c.events.last<ConfigEvent>(DataEvent::Config)->result(), int(ConfigEvent::Written));
    QCOMPARE(c.sim.registerValue(1, 5), quint16(40));
    const QVector<SimRequest> all = c.sim.requests();
    const auto motor = std::find_if(all.begin() + from, all.end(), [](const SimRequest &r) { return r.firstRegister == 31; });
    QVERIFY(motor != all.end());
    QCOMPARE(motor->values, QVector<quint16> {1});
}

void TestDataThread::refusedCommandsAndServedOnce()
{
    SimDeviceConfig config;
    Connection c(config);
    QVERIFY(c.start(SimIdentity::of(config, 7)));
    QVERIFY(c.events.waitFor(DataEvent::Get));
    c.thread->setAccessCode(1); // the device refuses guarded writes
    const int from = c.sim.requests().size();
    c.thread->requestResetCrashProtocol();
    c.thread->requestResetCrashProtocol(); // twice before it is served: served once
    c.thread->requestResetWorkProtocol();
    c.thread->requestSetTime(1000);
    c.thread->requestEngineCommand(EngineCommand::Backward);
    c.thread->requestEngineCommand(EngineCommand::Stop);
    QVERIFY(c.events.waitFor(DataEvent::ClockNotSet));
    QVERIFY(c.events.waitFor(DataEvent::Get, 3));
    c.thread->stopExchange();
    QCOMPARE(c.events.count(DataEvent::CrashProtocolNotReset), 1);
    QCOMPARE(c.events.count(DataEvent::WorkProtocolNotReset), 1);
    // Each told as the device's refusal, not as a line that failed.
    for (const int type : {DataEvent::CrashProtocolNotReset, DataEvent::WorkProtocolNotReset, DataEvent::ClockNotSet})
        QVERIFY2(c.events.last<DataEvent>(type)->refused(), qPrintable(QString::number(type)));
    const QStringList seen = wire(c.sim.requests(), from);
    QCOMPARE(seen.count("16:50x1"), 1);
    QCOMPARE(seen.count("16:31x1"), 1);
    const QVector<SimRequest> all = c.sim.requests();
    for (const SimRequest &r : all)
        if (r.firstRegister == 31)
            QCOMPARE(r.values, QVector<quint16> {0}); // the last command set wins
    for (int i = from; i < all.size(); ++i)
        if (all[i].function == 16 && all[i].firstRegister == 50)
            QCOMPARE(all[i - 1].firstRegister, 32); // a log clear always follows a code write
}

void TestDataThread::failedConfigurationWriteIsReadBack()
{
    SimDeviceConfig config;
    Connection c(config);
    QVERIFY(c.start(SimIdentity::of(config, 7)));
    QVERIFY(c.events.waitFor(DataEvent::Get));
    const quint16 before = c.sim.registerValue(1, 5);
    c.thread->setAccessCode(1);
    auto update = std::make_unique<ConfigPacketV70>();
    ConfigFields::setValue(*update, ConfigFields::RatedCurrent, before + 3);
    QVERIFY(!c.thread->requestWriteConfig(std::move(update)));
    auto second = std::make_unique<ConfigPacketV70>();
    ConfigPacketV70 *secondBlock = second.get();
    QCOMPARE(c.thread->requestWriteConfig(std::move(second)).get(), secondBlock); // one hand-over at a time
    QVERIFY(c.events.waitFor(DataEvent::Config, 3));
    c.thread->stopExchange();
    const QList<int> results = c.events.configResults();
    QCOMPARE(results.mid(results.size() - 2), (QList<int> {ConfigEvent::NotWritten, ConfigEvent::Read}));
    const auto *last = c.events.last<ConfigEvent>(DataEvent::Config);
    QCOMPARE(last->result(), int(ConfigEvent::Read)); // what the device really holds, after result 1
    QCOMPARE(last->packet()->ratedCurrent(), before);
    QCOMPARE(c.sim.registerValue(1, 5), before);
}

void TestDataThread::changedLogTimeFetchesBothLogs()
{
    SimDeviceConfig config;
    config.modification = 60;
    Connection c(config);
    QVERIFY(c.start(SimIdentity::of(config, 7)));
    QVERIFY(c.events.waitFor(DataEvent::Get));
    c.sim.setRegisterValue(1, 141, 0x5678);
    c.sim.setRegisterValue(1, 142, 0x1234);
    QVERIFY(c.events.waitFor(DataEvent::GetProtocol, 1, 20000));
    c.thread->stopExchange();
    const QStringList seen = wire(c.sim.requests());
    QVERIFY2(indexOfSequence(seen, {"3:140x30", "3:180x10", "3:1x1", "3:50x90"}) > 0, qPrintable(seen.join(' ')));
    QCOMPARE(c.events.count(DataEvent::GetProtocol), 1);
}

// A new oscillogram is read once: after a change of its fault code, and after a
// second trip of the same kind, which only changes its trip time.
void TestDataThread::eachNewOscillogramIsRead()
{
    SimDeviceConfig config;
    Connection c(config);
    QVERIFY(c.start(SimIdentity::of(config, 7)));
    QVERIFY(c.events.waitFor(DataEvent::Get));
    c.sim.injectTrip(1, 31);
    QVERIFY(c.events.waitFor(DataEvent::OscillogramGet, 1));
    c.sim.setRegisterValue(1, 301, quint16(c.sim.registerValue(1, 301) + 7));
    QVERIFY(c.events.waitFor(DataEvent::OscillogramGet, 2));
    QVERIFY(c.events.waitFor(DataEvent::Get, c.events.count(DataEvent::Get) + 2));
    c.thread->stopExchange();
    QCOMPARE(c.events.count(DataEvent::OscillogramGet), 2);
}

void TestDataThread::stopWhileTheLineIsSilent()
{
    SimDeviceConfig config;
    Connection c(config);
    c.sim.setFault(SimFault {SimFault::NoReply});
    QVERIFY(c.start(SimIdentity::of(config, 7), ProtocolTiming())); // a 1900 ms read time-out
    QVERIFY(c.sim.waitForRequests(1, 5000)); // waiting for the identification now
    QElapsedTimer t;
    t.start();
    c.thread->stopExchange();
    // The port looks at the stop every 50 ms: far sooner than the read time-out.
    QVERIFY2(t.elapsed() < 600, qPrintable(QString::number(t.elapsed())));
    QVERIFY(c.thread->isFinished());
    QCoreApplication::processEvents();
    QCOMPARE(c.events.types(), QList<int> {DataEvent::Disconnected});
}

// The one comparison the exchange and the command line share: through the device's
// counts, so that a rated current a float cannot hold exactly (10 counts at 3 per
// ampere) still matches, while any other device does not.
void TestDataThread::sessionIdentifiesTheDeviceExpected_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("scale");
    QTest::addColumn<float>("minRated");
    QTest::addColumn<int>("identity");
    const int matches = int(DeviceSession::Identity::Matches), mismatch = int(DeviceSession::Identity::Mismatch);
    QTest::newRow("the device") << 70 << 3 << 10.0f / 3 << matches;
    QTest::newRow("another modification") << 80 << 3 << 10.0f / 3 << mismatch;
    QTest::newRow("another scale") << 70 << 2 << 10.0f / 3 << mismatch;
    QTest::newRow("another rated range") << 70 << 3 << 50.0f / 3 << mismatch;
}

void TestDataThread::sessionIdentifiesTheDeviceExpected()
{
    QFETCH(int, modification);
    QFETCH(int, scale);
    QFETCH(float, minRated);
    QFETCH(int, identity);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 3, 10});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    DeviceInfo expected = SimIdentity::of(SimDeviceConfig {1, modification, 0, 19200, quint16(scale), 10}, 7);
    expected.minRatedCurrent = minRated;
    expected.maxRatedCurrent = 10 * minRated;
    DeviceSession session(sim.linkPath());
    session.setTiming(testTiming());
    session.setDevice(1, 19200, 0);
    QVERIFY2(session.open(), qPrintable(session.errorString()));
    QCOMPARE(int(session.identify(expected)), identity);
}

// A reply lost on the line is asked for again; a device's refusal is its answer.
void TestDataThread::sessionRetriesALostReplyNotARefusal()
{
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    DeviceSession session(sim.linkPath());
    ProtocolTiming timing = testTiming();
    timing.readTimeoutMs = 100;
    session.setTiming(timing);
    session.setDevice(1, 19200, 0);
    QVERIFY2(session.open(), qPrintable(session.errorString()));
    ConfigPacketV70 block;
    const int entries = int(block.requests().size());
    sim.clearRequests();
    sim.setFault(SimFault {SimFault::NoReply}, DeviceSession::kReadAttempts - 1);
    QVERIFY2(session.readBlock(block), qPrintable(session.errorString()));
    QCOMPARE(sim.requests().size(), DeviceSession::kReadAttempts - 1 + entries); // the lost ones, then the block
    sim.clearRequests();
    sim.setFault(SimFault {SimFault::Exception, 4});
    QVERIFY(!session.readBlock(block));
    QCOMPARE(session.errorString(), QString("Modbus exception 4"));
    QCOMPARE(sim.requests().size(), 1);
    sim.clearRequests();
    sim.setFault(SimFault {SimFault::NoReply});
    QVERIFY(!session.readBlock(block));
    QCOMPARE(sim.requests().size(), DeviceSession::kReadAttempts);
}

// A search stopped between two probes must not take the second for an answer.
void TestDataThread::sessionReadsNothingAfterAStop()
{
    Simulator sim;
    sim.addDevice(SimDeviceConfig {});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::atomic<bool> running {true};
    DeviceSession session(sim.linkPath(), &running);
    session.setTiming(testTiming());
    session.setDevice(1, 19200, 0);
    QVERIFY2(session.open(), qPrintable(session.errorString()));
    DeviceInfo found;
    QCOMPARE(int(session.identifyAny(found)), int(DeviceSession::Identity::Matches));
    running = false;
    QCOMPARE(int(session.identifyAny(found)), int(DeviceSession::Identity::Unreadable));
    ConfigPacketV70 block;
    QVERIFY(!session.readBlock(block));
}

QTEST_GUILESS_MAIN(TestDataThread)
#include "tst_datathread.moc"
