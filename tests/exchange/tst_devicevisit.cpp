// One device visit against the simulator, driven a visit at a time from the test's
// own thread, in both modes: what goes on the wire at a first visit, which
// oscillograms and logs are handed on, reads that fail and wait for the next visit,
// and a silent device told lost once and restored.
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/protocolpacket.h"
#include "device/registermap.h"
#include "exchange/devicesession.h"
#include "exchange/devicevisit.h"
#include "exchange/eventdispatch.h"
#include "exchange/visitsink.h"
#include "link/tdatapacket.h"
#include "sim/simulator.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"

#include <QtTest>

#include <functional>

namespace {

using Mode = DeviceVisit::Mode;
constexpr quint16 kCode = 1234; // the simulator's default access code

template <typename Log>
int recordsIn(const Log &log)
{
    int n = 0;
    for (int i = 0; i < Log::kRecords; ++i)
        n += log.code(i) != 0;
    return n;
}

// "state", "logs CRASH/WORK" (the records handed on), "oscillogram CODE", "connected",
// "lost", "restored".
QString told(const DataEvent &event)
{
    return EventDispatch::visit(event, EventHandlers {
        [](const DataEventGet &) { return QStringLiteral("state"); },
        [](const DataEventError &e) { return e.error() == DataEventError::LinkLost ? QStringLiteral("lost") : QStringLiteral("error"); },
        [](const DataEventGetProtocol &e) {
            return QStringLiteral("logs %1/%2").arg(recordsIn(*e.crashProtocol())).arg(recordsIn(*e.protocol()));
        },
        [](const CrashEventOscillogramGet &e) { return QStringLiteral("oscillogram %1").arg(e.packet()->faultCode()); },
        [](const DataEvent &e) {
            return e.type() == DataEvent::Connected      ? QStringLiteral("connected")
                   : e.type() == DataEvent::LinkRestored ? QStringLiteral("restored")
                                                         : QString::number(e.type());
        }});
}

// The entries of the logs and oscillograms only, the logs without their counts.
QStringList logsAndOscillograms(const QStringList &entries)
{
    QStringList out;
    for (const QString &e : entries)
        if (e.startsWith("logs"))
            out << "logs";
        else if (e.startsWith("oscillogram"))
            out << e;
    return out;
}

// One simulated device with its preset logs and no oscillogram, a session on its line
// and a visit of it; each visit is one call, what it told is returned.
struct VisitedDevice : VisitSink {
    Simulator sim;
    std::unique_ptr<DeviceSession> session;
    std::unique_ptr<DeviceVisit> visit;
    QStringList entries;
    std::function<void(const QString &)> onTold; // at each entry, while the visit goes on

    bool start(Mode mode, const QString &link = QString())
    {
        const SimDeviceConfig config;
        sim.addDevice(config);
        if (!sim.start(link))
            return false;
        sim.setRegisterValue(1, RegisterMap::OscillogramHeader + 2, 0); // no fault code: none stored
        session = std::make_unique<DeviceSession>(sim.linkPath());
        session->setTiming(testTiming());
        session->setDevice(1, qint32(config.baudRate), config.frameFormat);
        if (!session->open())
            return false;
        visit = std::make_unique<DeviceVisit>(*session, *this, mode);
        visit->setDevice(SimIdentity::of(config, 7));
        return true;
    }
    QStringList once()
    {
        entries.clear();
        visit->visit();
        return entries;
    }
    // "function:register xcount" of each request since from.
    QStringList wire(int from = 0) const
    {
        QStringList out;
        const QVector<SimRequest> all = sim.requests();
        for (int i = from; i < all.size(); ++i)
            out << QStringLiteral("%1:%2x%3").arg(all[i].function).arg(all[i].firstRegister).arg(all[i].count);
        return out;
    }
    bool clearLogs()
    {
        return session->writeBlock(TDataPacket<unsigned short>(RegisterMap::CrashLog), kCode)
               && session->writeBlock(TDataPacket<unsigned short>(RegisterMap::WorkLog), kCode);
    }
    void visitEvent(std::shared_ptr<DataEvent> event) override
    {
        entries << told(*event);
        if (onTold)
            onTold(entries.last());
    }
};

} // namespace

class TestDeviceVisit : public QObject
{
    Q_OBJECT

private slots:
    void firstVisit_data();
    void firstVisit();
    void oscillogramsByMode_data();
    void oscillogramsByMode();
    void logsByMode_data();
    void logsByMode();
    void failedReadsWaitForTheNextVisit_data();
    void failedReadsWaitForTheNextVisit();
    void silentDevice_data();
    void silentDevice();
    void goneLineIsALostLink();
};

// The oscillogram mark, the live values, the log marks and the logs; the gateway reads
// what the logs hold before the first live values, and hands the logs on before them.
void TestDeviceVisit::firstVisit_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("connectedBefore");
    QTest::addColumn<QStringList>("wire");
    QTest::addColumn<QStringList>("told");
    const QStringList state {"3:33x17", "3:170x1"}, marks {"3:51x2", "3:141x2"};
    const QStringList logs {"3:140x30", "3:180x10", "3:1x1", "3:50x90"};
    QTest::newRow("whole") << int(Mode::Whole) << false << QStringList {"3:301x3"} + state + marks + logs
                           << QStringList {"connected", "state", "logs 2/4"};
    QTest::newRow("whole, connection told") << int(Mode::Whole) << true << QStringList {"3:301x3"} + state + marks + logs
                                            << QStringList {"state", "logs 2/4"};
    QTest::newRow("news") << int(Mode::News) << false << QStringList {"3:301x3"} + marks + logs + state + marks
                          << QStringList {"logs 2/4", "connected", "state"};
}

void TestDeviceVisit::firstVisit()
{
    QFETCH(int, mode);
    QFETCH(bool, connectedBefore);
    QFETCH(QStringList, wire);
    QFETCH(QStringList, told);
    VisitedDevice d;
    QVERIFY2(d.start(Mode(mode)), qPrintable(d.sim.errorString()));
    if (connectedBefore)
        d.visit->setConnected();
    d.sim.clearRequests();
    QCOMPARE(d.once(), told);
    QCOMPARE(d.wire(), wire);
    QVERIFY(d.visit->linkUp());
}

// The window sees every change of the mark, the one found at the start and a cleared
// one too; the gateway only trips after its first visit, a second of the same kind too.
void TestDeviceVisit::oscillogramsByMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("stored"); // a trip before the first visit
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    for (const Mode mode : {Mode::Whole, Mode::News}) {
        const bool whole = mode == Mode::Whole;
        const char *name = whole ? "whole" : "news";
        QTest::addRow("%s: the one stored", name) << int(mode) << true << "none" << int(whole) << 0;
        QTest::addRow("%s: a new trip", name) << int(mode) << false << "trip" << 0 << 1;
        QTest::addRow("%s: same fault, later", name) << int(mode) << true << "later" << int(whole) << 1;
        QTest::addRow("%s: cleared", name) << int(mode) << true << "cleared" << int(whole) << int(whole);
    }
}

void TestDeviceVisit::oscillogramsByMode()
{
    QFETCH(int, mode);
    QFETCH(bool, stored);
    QFETCH(QString, change);
    QFETCH(int, first);
    QFETCH(int, second);
    VisitedDevice d;
    QVERIFY2(d.start(Mode(mode)), qPrintable(d.sim.errorString()));
    if (stored)
        d.sim.injectTrip(1, 31);
    QCOMPARE(d.once().filter("oscillogram").size(), first);
    const int timeLow = RegisterMap::OscillogramHeader, code = RegisterMap::OscillogramHeader + 2;
    if (change == "trip")
        d.sim.injectTrip(1, 32);
    if (change == "later")
        d.sim.setRegisterValue(1, timeLow, quint16(d.sim.registerValue(1, timeLow) + 7));
    if (change == "cleared")
        d.sim.setRegisterValue(1, code, 0);
    const QStringList handed = d.once().filter("oscillogram");
    QCOMPARE(handed.size(), second);
    if (second > 0)
        QCOMPARE(handed.first(), QStringLiteral("oscillogram %1").arg(d.sim.registerValue(1, code)));
    QCOMPARE(d.once().filter("oscillogram").size(), 0); // handed on once
}

// The window gets the logs whole whenever they change, none while they are empty; the
// gateway what they hold at its first visit, then only the records that are news.
void TestDeviceVisit::logsByMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("afterTrip");
    QTest::newRow("whole") << int(Mode::Whole) << false << QStringList {"logs 2/4"} << QStringList {"logs 3/4"};
    QTest::newRow("whole, empty") << int(Mode::Whole) << true << QStringList {} << QStringList {"logs 1/0"};
    QTest::newRow("news") << int(Mode::News) << false << QStringList {"logs 2/4"} << QStringList {"logs 1/0"};
    QTest::newRow("news, empty") << int(Mode::News) << true << QStringList {"logs 0/0"} << QStringList {"logs 1/0"};
}

void TestDeviceVisit::logsByMode()
{
    QFETCH(int, mode);
    QFETCH(bool, empty);
    QFETCH(QStringList, first);
    QFETCH(QStringList, afterTrip);
    VisitedDevice d;
    QVERIFY2(d.start(Mode(mode)), qPrintable(d.sim.errorString()));
    if (empty)
        QVERIFY2(d.clearLogs(), qPrintable(d.session->errorString()));
    QCOMPARE(d.once().filter("logs"), first);
    QCOMPARE(d.once().filter("logs"), QStringList {}); // the marks did not change
    d.sim.injectTrip(1, 33);
    QCOMPARE(d.once().filter("logs"), afterTrip);
}

// A refused request: the log marks right after the live values, or the oscillogram's
// block right after the logs. Marks not read fetch no logs, and the oscillogram waits
// for a visit whose logs were looked at; a block not read is read at the next visit.
// The trip's record always comes before its oscillogram.
void TestDeviceVisit::failedReadsWaitForTheNextVisit_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("refusedAfter");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    for (const Mode mode : {Mode::Whole, Mode::News}) {
        const char *name = mode == Mode::Whole ? "whole" : "news";
        QTest::addRow("%s: log marks refused", name) << int(mode) << "state" << QStringList {}
                                                     << QStringList {"logs", "oscillogram 33"};
        QTest::addRow("%s: oscillogram refused", name) << int(mode) << "logs" << QStringList {"logs"}
                                                       << QStringList {"oscillogram 33"};
    }
}

void TestDeviceVisit::failedReadsWaitForTheNextVisit()
{
    QFETCH(int, mode);
    QFETCH(QString, refusedAfter);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    VisitedDevice d;
    QVERIFY2(d.start(Mode(mode)), qPrintable(d.sim.errorString()));
    d.once();
    d.sim.injectTrip(1, 33);
    bool refused = false;
    d.onTold = [&](const QString &entry) {
        if (!refused && entry.startsWith(refusedAfter))
            d.sim.setFault(SimFault {SimFault::Exception, 4}, 1);
        refused = refused || entry.startsWith(refusedAfter);
    };
    for (const QStringList &expected : {first, second, QStringList {}}) {
        const QStringList all = d.once();
        QVERIFY2(logsAndOscillograms(all) == expected, qPrintable(all.join(", ")));
        QVERIFY(refused);
    }
}

// After an unanswered request the visit asks only for the live values, once more with
// the short time-out: one lost reply is no lost link; a silent device is told lost
// once, asked only that while it stays silent, and told restored when it answers.
void TestDeviceVisit::silentDevice_data()
{
    QTest::addColumn<int>("lostReplies");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("firstWire");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QStringList>("secondWire");
    QTest::addColumn<QStringList>("restored");
    const QStringList state {"3:33x17", "3:170x1"}, marks {"3:51x2", "3:141x2"};
    QTest::newRow("one lost reply") << 1 << QStringList {"state"} << QStringList {"3:301x3"} + state + marks
                                    << QStringList {"state"} << QStringList {"3:301x3"} + state + marks
                                    << QStringList {"state"};
    QTest::newRow("a silent device") << -1 << QStringList {"lost"} << QStringList {"3:301x3", "3:33x17"}
                                     << QStringList {} << QStringList {"3:33x17"}
                                     << QStringList {"restored", "state"};
}

void TestDeviceVisit::silentDevice()
{
    QFETCH(int, lostReplies);
    QFETCH(QStringList, first);
    QFETCH(QStringList, firstWire);
    QFETCH(QStringList, second);
    QFETCH(QStringList, secondWire);
    QFETCH(QStringList, restored);
    VisitedDevice d;
    QVERIFY2(d.start(Mode::Whole), qPrintable(d.sim.errorString()));
    d.once();
    d.sim.clearRequests();
    d.sim.setFault(SimFault {SimFault::NoReply}, lostReplies);
    QCOMPARE(d.once(), first);
    QCOMPARE(d.wire(), firstWire);
    const int from = d.sim.requests().size();
    QCOMPARE(d.once(), second);
    QCOMPARE(d.wire(from), secondWire);
    d.sim.clearFaults();
    QCOMPARE(d.once(), restored);
    QVERIFY(d.visit->linkUp());
}

// A line that goes away in the middle of a visit is a lost link, also when it is back
// before the next one (as a network connection reset and made again at once).
void TestDeviceVisit::goneLineIsALostLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("line");
    VisitedDevice d;
    QVERIFY2(d.start(Mode::Whole, link), qPrintable(d.sim.errorString()));
    d.sim.injectTrip(1, 31);
    d.onTold = [&](const QString &entry) {
        if (entry.startsWith("logs"))
            d.sim.stop(); // before the oscillogram's block
    };
    QCOMPARE(d.once(), (QStringList {"connected", "state", "logs 3/4", "lost"}));
    d.onTold = nullptr;
    QVERIFY2(d.sim.start(link), qPrintable(d.sim.errorString()));
    QVERIFY2(d.session->open(), qPrintable(d.session->errorString()));
    QCOMPARE(d.once(), (QStringList {"restored", "state"})); // after the silence, the live values first
    QCOMPARE(d.once(), (QStringList {"state", "oscillogram 31"}));
}

QTEST_GUILESS_MAIN(TestDeviceVisit)
#include "tst_devicevisit.moc"
