// The window's connection without the window: the samples its window keeps, how it
// judges configuration writes, and against the simulator what it keeps when it
// connects, closes and connects again, its own read-back of a write, and a run that
// ends at its start.
#include "device/appprotocolevent.h"
#include "device/configfields.h"
#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "exchange/configevent.h"
#include "exchange/dataeventerror.h"
#include "exchange/datathread.h"
#include "exchange/deviceconnection.h"
#include "link/lineoptions.h"
#include "sim/simulator.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"

#include <QtTest>

#include <algorithm>

namespace {

constexpr quint16 kCode = 1234; // the simulator's default access code
constexpr int kWaitMs = 15000;
constexpr int kPort = 71;
constexpr quint32 kMinCurrentRegister = 6;

SampleWindow::Sample at(quint32 time)
{
    SampleWindow::Sample s;
    s.time = time;
    return s;
}

QList<quint32> times(const SampleWindow &window)
{
    QList<quint32> out;
    for (const SampleWindow::Sample &s : window)
        out << s.time;
    return out;
}

std::unique_ptr<ConfigPacket> configWith(int minCurrent)
{
    auto block = PacketFactory::configuration(70);
    ConfigFields::setValue(*block, ConfigFields::MinCurrent, minCurrent);
    return block;
}

QList<int> appCodes(const ProtocolList &protocol)
{
    QList<int> out;
    for (int i = 0; i < protocol.size(); ++i)
        if (protocol.at(i).kind() == ProtocolEvent::Application)
            out << static_cast<const AppProtocolEvent &>(protocol.at(i)).code();
    return out;
}

// The connection under test on one simulated line of two devices, at addresses 1 and 2.
struct TwoDevices {
    Simulator sim;
    DeviceConnection connection;
    SimDeviceConfig first;
    SimDeviceConfig second;

    TwoDevices()
    {
        second.address = 2;
        sim.addDevice(first);
        sim.addDevice(second);
    }
    void open(const SimDeviceConfig &device, int port = kPort)
    {
        connection.open(SimIdentity::of(device, port), sim.linkPath(), LineOptions(), testTiming());
        connection.setAccessCode(kCode);
    }
    // Closed, with no reply still on its way that the next connection would take for its own.
    bool closeQuietly()
    {
        connection.close();
        const QVector<SimRequest> asked = sim.requests();
        return sim.waitForReplies(int(std::count_if(asked.begin(), asked.end(),
                                                    [](const SimRequest &r) { return r.answered; })),
                                  kWaitMs);
    }
};

} // namespace

class TestDeviceConnection : public QObject
{
    Q_OBJECT

private slots:
    void windowKeepsItsInterval_data();
    void windowKeepsItsInterval();
    void writeCheckJudgesEachConfiguration_data();
    void writeCheckJudgesEachConfiguration();
    void keepsTheConnectionsBlocks();
    void reconnectionKeepsOnlyTheSameDevicesTemperatures_data();
    void reconnectionKeepsOnlyTheSameDevicesTemperatures();
    void writeIsReadBack_data();
    void writeIsReadBack();
    void runEndedAtItsStartLetsGoOfTheThread_data();
    void runEndedAtItsStartLetsGoOfTheThread();
};

void TestDeviceConnection::windowKeepsItsInterval_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("slack");
    QTest::addColumn<QList<quint32>>("appended");
    QTest::addColumn<QList<quint32>>("kept");

    QTest::newRow("within the interval") << 10 << 0 << QList<quint32> {100, 105, 110} << QList<quint32> {100, 105, 110};
    QTest::newRow("older ones leave") << 10 << 0 << QList<quint32> {100, 105, 111} << QList<quint32> {105, 111};
    QTest::newRow("the slack beyond it") << 10 << 5 << QList<quint32> {100, 105, 115, 116}
                                         << QList<quint32> {105, 115, 116};
    QTest::newRow("a clock set back keeps them") << 10 << 0 << QList<quint32> {100, 150, 90}
                                                 << QList<quint32> {150, 90};
    QTest::newRow("unlimited: sixty years") << int(SampleWindow::kUnlimited) << 0 << QList<quint32> {0, 1900000000u}
                                            << QList<quint32> {0, 1900000000u};
}

void TestDeviceConnection::windowKeepsItsInterval()
{
    QFETCH(int, interval);
    QFETCH(int, slack);
    QFETCH(QList<quint32>, appended);
    SampleWindow window(slack, interval);
    for (quint32 t : appended)
        window.append(at(t));
    QTEST(times(window), "kept");
}

void TestDeviceConnection::writeCheckJudgesEachConfiguration_data()
{
    QTest::addColumn<QList<int>>("results");    // ConfigEvent results in turn
    QTest::addColumn<QList<int>>("minCurrents"); // the blocks they carry
    QTest::addColumn<QList<int>>("outcomes");
    QTest::addColumn<int>("differences");
    using O = ConfigWriteCheck::Outcome;
    const int read = ConfigEvent::Read;
    const int written = ConfigEvent::Written;
    const int notWritten = ConfigEvent::NotWritten;

    QTest::newRow("reads") << QList<int> {read, read} << QList<int> {30, 40} << QList<int> {int(O::Read), int(O::Read)} << 0;
    QTest::newRow("read back as written") << QList<int> {read, written, read} << QList<int> {30, 40, 40}
                                          << QList<int> {int(O::Read), int(O::Written), int(O::Confirmed)} << 0;
    QTest::newRow("read back otherwise") << QList<int> {written, read} << QList<int> {40, 20}
                                         << QList<int> {int(O::Written), int(O::Differs)} << 1;
    QTest::newRow("refused, then the device's own")
        << QList<int> {notWritten, read, read} << QList<int> {30, 30, 30}
        << QList<int> {int(O::NotWritten), int(O::RereadAfterFailure), int(O::Read)} << 0;
}

void TestDeviceConnection::writeCheckJudgesEachConfiguration()
{
    QFETCH(QList<int>, results);
    QFETCH(QList<int>, minCurrents);
    ConfigWriteCheck check;
    QList<int> outcomes;
    for (int i = 0; i < results.size(); ++i) {
        outcomes << int(check.onConfiguration(*configWith(minCurrents[i]), results[i]));
        QCOMPARE(ConfigFields::value(*check.lastBlock(), ConfigFields::MinCurrent), minCurrents[i]); // the newest
    }
    QTEST(outcomes, "outcomes");
    QTEST(int(check.differences().size()), "differences");
    check.reset();
    QVERIFY(!check.lastBlock());
}

void TestDeviceConnection::keepsTheConnectionsBlocks()
{
    TwoDevices line;
    QVERIFY2(line.sim.start(), qPrintable(line.sim.errorString()));
    DeviceConnection &c = line.connection;
    line.open(line.first);
    QCOMPARE(c.device()->address, line.first.address);
    QVERIFY(QTest::qWaitFor([&] {
        return c.configuration() && c.startRecord() && c.oscillogram() && c.liveSamples().size() >= 2;
    }, kWaitMs));
    QCOMPARE(c.liveSamples().size(), c.temperatureSamples().size());
    QVERIFY(c.monitoring());
    QCOMPARE(appCodes(c.protocol()), QList<int> {AppProtocolEvent::Connected});
    QVERIFY(c.oscillogram()->faultCode() != 0);
    c.close();
    QVERIFY(!c.device());
    QVERIFY(!c.dataThread());
    QVERIFY(c.protocol().isEmpty());
    // What the last connection read stays for its tabs until the next one connects.
    QVERIFY(c.configuration() && c.monitoring() && c.startRecord() && c.oscillogram());
    QVERIFY(!c.liveSamples().isEmpty());
}

void TestDeviceConnection::reconnectionKeepsOnlyTheSameDevicesTemperatures_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("kept");

    QTest::newRow("same line and address") << 1 << kPort << true;
    QTest::newRow("another address") << 2 << kPort << false;
    QTest::newRow("another line") << 1 << kPort + 1 << false;
}

void TestDeviceConnection::reconnectionKeepsOnlyTheSameDevicesTemperatures()
{
    QFETCH(int, address);
    QFETCH(int, port);
    QFETCH(bool, kept);
    TwoDevices line;
    QVERIFY2(line.sim.start(), qPrintable(line.sim.errorString()));
    DeviceConnection &c = line.connection;
    line.open(line.first);
    QVERIFY(QTest::qWaitFor([&] { return c.temperatureSamples().size() >= 2; }, kWaitMs));
    QVERIFY(line.closeQuietly());
    const int before = c.temperatureSamples().size();
    // Seen as the next connection's type 1 passes: before any block of its own.
    int temperaturesAtConnect = -1;
    int liveAtConnect = -1;
    bool blocksAtConnect = true;
    connect(&c, &DeviceConnection::dataEvent, this, [&](const DataEvent *e) {
        if (e->type() != DataEvent::Connected)
            return;
        temperaturesAtConnect = c.temperatureSamples().size();
        liveAtConnect = c.liveSamples().size();
        blocksAtConnect = c.monitoring() || c.configuration() || c.startRecord() || c.oscillogram();
    });
    line.open(address == 1 ? line.first : line.second, port);
    QVERIFY(QTest::qWaitFor([&] { return temperaturesAtConnect >= 0; }, kWaitMs));
    QCOMPARE(temperaturesAtConnect, kept ? before : 0);
    QCOMPARE(liveAtConnect, 0); // the live values start afresh on every connection
    QVERIFY(!blocksAtConnect);
    QVERIFY(QTest::qWaitFor([&] { return c.temperatureSamples().size() > temperaturesAtConnect; }, kWaitMs));
    c.close();
}

void TestDeviceConnection::writeIsReadBack_data()
{
    QTest::addColumn<bool>("clamped");
    QTest::addColumn<int>("outcome");
    QTest::newRow("as written") << false << int(ConfigWriteCheck::Outcome::Confirmed);
    QTest::newRow("clamped by the device") << true << int(ConfigWriteCheck::Outcome::Differs);
}

// The connection reads a written configuration back by itself and enters the write.
void TestDeviceConnection::writeIsReadBack()
{
    QFETCH(bool, clamped);
    TwoDevices line;
    QVERIFY2(line.sim.start(), qPrintable(line.sim.errorString()));
    if (clamped)
        line.sim.setWriteClamp(line.first.address, kMinCurrentRegister, 20);
    DeviceConnection &c = line.connection;
    QList<int> outcomes;
    connect(&c, &DeviceConnection::configurationChecked, this,
            [&outcomes](ConfigWriteCheck::Outcome o, const ConfigEvent &) { outcomes << int(o); });
    line.open(line.first);
    QVERIFY(QTest::qWaitFor([&] { return c.configuration(); }, kWaitMs));
    std::unique_ptr<ConfigPacket> update(c.configuration()->clone());
    ConfigFields::setValue(*update, ConfigFields::MinCurrent, 50);
    QVERIFY(!c.requestWriteConfig(std::move(update)));
    QVERIFY(QTest::qWaitFor([&] { return outcomes.size() >= 3; }, kWaitMs));
    c.close();
    QFETCH(int, outcome);
    QCOMPARE(outcomes, (QList<int> {int(ConfigWriteCheck::Outcome::Read), int(ConfigWriteCheck::Outcome::Written), outcome}));
    QCOMPARE(c.configurationCheck().differences().size(), clamped ? 1 : 0);
    QCOMPARE(ConfigFields::value(*c.configuration(), ConfigFields::MinCurrent), clamped ? 20 : 50);
}

void TestDeviceConnection::runEndedAtItsStartLetsGoOfTheThread_data()
{
    QTest::addColumn<bool>("noPort");
    QTest::addColumn<int>("error");
    QTest::newRow("port not opened") << true << int(DataEventError::PortNotOpened);
    QTest::newRow("another device answers") << false << int(DataEventError::IdentificationMismatch);
}

void TestDeviceConnection::runEndedAtItsStartLetsGoOfTheThread()
{
    QFETCH(bool, noPort);
    TwoDevices line;
    QVERIFY2(line.sim.start(), qPrintable(line.sim.errorString()));
    DeviceConnection &c = line.connection;
    int error = -1;
    bool threadGoneFirst = false;
    connect(&c, &DeviceConnection::dataEvent, this, [&](const DataEvent *e) {
        if (e->type() == DataEvent::Error) {
            error = static_cast<const DataEventError *>(e)->error();
            threadGoneFirst = !c.dataThread();
        }
    });
    DeviceInfo expected = SimIdentity::of(line.first, kPort);
    expected.modification = 80; // the simulator's device is a 70
    c.open(expected, noPort ? QStringLiteral("/nonexistent/tty") : line.sim.linkPath(), LineOptions(), testTiming());
    QVERIFY(QTest::qWaitFor([&] { return error >= 0; }, kWaitMs));
    QTEST(error, "error");
    QVERIFY(threadGoneFirst);
    QVERIFY(!c.device());
    QVERIFY(c.protocol().isEmpty());
}

QTEST_MAIN(TestDeviceConnection)
#include "tst_deviceconnection.moc"
