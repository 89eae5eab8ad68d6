// The window's connection without the window: the samples its window keeps, how it
// judges configuration writes, and against the simulator what it keeps when it
// connects, closes and connects again. The window's tests hear the rest through it.
#include "device/appprotocolevent.h"
#include "device/configfields.h"
#include "device/configpacket.h"
#include "device/packetfactory.h"
#include "exchange/configevent.h"
#include "exchange/deviceconnection.h"
#include "link/lineoptions.h"
#include "sim/simulator.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"

#include <QtTest>

#include <algorithm>

namespace {

constexpr int kWaitMs = 15000;
constexpr int kPort = 71;

QList<quint32> times(const SampleWindow &window)
{
    QList<quint32> out;
    for (const SampleWindow::Sample &s : window)
        out << s.time;
    return out;
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
    void reconnectionKeepsOnlyTheSameDevicesTemperatures_data();
    void reconnectionKeepsOnlyTheSameDevicesTemperatures();
};

void TestDeviceConnection::windowKeepsItsInterval_data()
{
    QTest::addColumn<int>("slack");
    QTest::addColumn<QList<quint32>>("appended"); // over an interval of 10 s
    QTest::addColumn<QList<quint32>>("kept");
    QTest::newRow("older ones leave") << 0 << QList<quint32> {100, 105, 110, 111} << QList<quint32> {105, 110, 111};
    QTest::newRow("the slack beyond") << 5 << QList<quint32> {100, 105, 115, 116} << QList<quint32> {105, 115, 116};
    QTest::newRow("a clock set back") << 0 << QList<quint32> {100, 150, 90} << QList<quint32> {150, 90};
}

void TestDeviceConnection::windowKeepsItsInterval()
{
    QFETCH(int, slack);
    QFETCH(QList<quint32>, appended);
    SampleWindow window(slack, 10);
    for (quint32 t : appended) {
        SampleWindow::Sample sample;
        sample.time = t;
        window.append(sample);
    }
    QTEST(times(window), "kept");
}

void TestDeviceConnection::writeCheckJudgesEachConfiguration_data()
{
    QTest::addColumn<QList<int>>("results");     // of the configuration events in turn
    QTest::addColumn<QList<int>>("minCurrents"); // of the blocks they carry
    QTest::addColumn<QList<int>>("outcomes");
    using O = ConfigWriteCheck::Outcome;
    const int r = ConfigEvent::Read;
    QTest::newRow("read back as written") << QList<int> {r, ConfigEvent::Written, r} << QList<int> {30, 40, 40}
                                          << QList<int> {int(O::Read), int(O::Written), int(O::Confirmed)};
    QTest::newRow("read back otherwise") << QList<int> {ConfigEvent::Written, r} << QList<int> {40, 20}
                                         << QList<int> {int(O::Written), int(O::Differs)};
    QTest::newRow("refused, then the device's own") << QList<int> {ConfigEvent::NotWritten, r, r} << QList<int> {30, 30, 30}
                                                    << QList<int> {int(O::NotWritten), int(O::RereadAfterFailure), int(O::Read)};
}

void TestDeviceConnection::writeCheckJudgesEachConfiguration()
{
    QFETCH(QList<int>, results);
    QFETCH(QList<int>, minCurrents);
    ConfigWriteCheck check;
    QList<int> outcomes;
    for (int i = 0; i < results.size(); ++i) {
        auto block = PacketFactory::configuration(70);
        ConfigFields::setValue(*block, ConfigFields::MinCurrent, minCurrents[i]);
        outcomes << int(check.onConfiguration(*block, results[i]));
        QCOMPARE(ConfigFields::value(*check.lastBlock(), ConfigFields::MinCurrent), minCurrents[i]); // the newest
    }
    QTEST(outcomes, "outcomes");
    QCOMPARE(check.differences().size(), outcomes.contains(int(ConfigWriteCheck::Outcome::Differs)) ? 1 : 0);
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

// What a connection keeps after it closes, and what the next one keeps of it.
void TestDeviceConnection::reconnectionKeepsOnlyTheSameDevicesTemperatures()
{
    QFETCH(int, address);
    QFETCH(int, port);
    TwoDevices line;
    QVERIFY2(line.sim.start(), qPrintable(line.sim.errorString()));
    DeviceConnection &c = line.connection;
    line.open(line.first);
    QVERIFY(QTest::qWaitFor([&] {
        return c.startRecord() && c.oscillogram() && c.temperatureSamples().size() >= 2;
    }, kWaitMs));
    QCOMPARE(appCodes(c.protocol()), QList<int> {AppProtocolEvent::Connected});
    QVERIFY(line.closeQuietly());
    QVERIFY(!c.device() && c.protocol().isEmpty());
    QVERIFY(c.configuration() && c.monitoring() && c.startRecord() && c.oscillogram()); // for the tabs still
    const int before = c.temperatureSamples().size();
    int temperaturesAtConnect = -1; // as the next connection's type 1 passes on
    int blocksAtConnect = -1;
    connect(&c, &DeviceConnection::dataEvent, this, [&](const DataEvent *e) {
        if (e->type() != DataEvent::Connected)
            return;
        temperaturesAtConnect = c.temperatureSamples().size();
        blocksAtConnect = c.liveSamples().size() + bool(c.monitoring()) + bool(c.configuration())
            + bool(c.startRecord()) + bool(c.oscillogram());
    });
    line.open(address == 1 ? line.first : line.second, port);
    QVERIFY(QTest::qWaitFor([&] { return temperaturesAtConnect >= 0; }, kWaitMs));
    QFETCH(bool, kept);
    QCOMPARE(temperaturesAtConnect, kept ? before : 0);
    QCOMPARE(blocksAtConnect, 0);
    c.close();
}

QTEST_MAIN(TestDeviceConnection)
#include "tst_deviceconnection.moc"
