// Link faults as the real master (ModbusPort) meets them: each kind, how long it lasts,
// whom it hits, a reply split around the master's 250 ms gap, and a device that goes
// silent and comes back.
#include "link/modbusport.h"
#include "sim/simulator.h"
#include "tests/sim/rawmaster.h"
#include "tests/sim/testmaster.h"

#include <QElapsedTimer>
#include <QtTest>

Q_DECLARE_METATYPE(ModbusPort::Failure)
Q_DECLARE_METATYPE(SimFault::Kind)

namespace {

SimDeviceConfig device(int address)
{
    SimDeviceConfig c;
    c.address = address;
    return c;
}

SimFault fault(SimFault::Kind kind, int exceptionCode = 4, int pauseMs = 0)
{
    SimFault f;
    f.kind = kind;
    f.exceptionCode = exceptionCode;
    f.pauseMs = pauseMs;
    return f;
}

bool readId(ModbusPort &port)
{
    quint16 id[4] = {};
    return port.readRegisters(1, sizeof id, id) && id[3] == 70;
}

} // namespace

class TestSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void kindsSeenByTheMaster_data();
    void kindsSeenByTheMaster();
    void faultUntilClearedOnOneAddressOnly();
    void lineFaultCountsRequestsToEveryDevice();
    void exceptionFaultLeavesTheDeviceAlone();
    void splitWithinTheGapIsOneReply();
    void splitBeyondTheGapBreaksTheReply();
    void silentThenAnswersAgain();

private:
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<ModbusPort> port;
};

void TestSimFaults::init()
{
    sim = std::make_unique<Simulator>();
    sim->addDevice(device(1));
    sim->addDevice(device(2));
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    port = TestMaster::open(sim->linkPath(), 1, 19200, 0, TestMaster::kSilenceTimeoutMs);
    QVERIFY(port);
}

void TestSimFaults::cleanup()
{
    port.reset();
    sim.reset(); // stops the line thread
}

void TestSimFaults::kindsSeenByTheMaster_data()
{
    QTest::addColumn<SimFault::Kind>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<ModbusPort::Failure>("failure");
    QTest::addColumn<int>("exception");
    QTest::newRow("no reply") << SimFault::NoReply << 0 << ModbusPort::Failure::NoAnswer << 0;
    QTest::newRow("bad CRC") << SimFault::BadCrc << 0 << ModbusPort::Failure::CrcError << 255;
    QTest::newRow("wrong address") << SimFault::WrongAddress << 0 << ModbusPort::Failure::WrongAddress << 0;
    QTest::newRow("exception 4") << SimFault::Exception << 4 << ModbusPort::Failure::Exception << 4;
    QTest::newRow("exception 6") << SimFault::Exception << 6 << ModbusPort::Failure::Exception << 6;
}

void TestSimFaults::kindsSeenByTheMaster()
{
    QFETCH(SimFault::Kind, kind);
    QFETCH(int, code);
    QFETCH(ModbusPort::Failure, failure);
    QFETCH(int, exception);
    sim->setFault(fault(kind, code), 1, 1);
    QVERIFY(!readId(*port));
    QCOMPARE(port->failure(), failure);
    QCOMPARE(port->exception(), exception);
    QVERIFY2(readId(*port), qPrintable(port->errorString())); // lasted one request
    const QVector<SimRequest> got = sim->requests();
    QCOMPARE(got.size(), 2);
    QCOMPARE(got[0].answered, kind != SimFault::NoReply);
    QVERIFY(!got[0].reason.isEmpty());
    QVERIFY(got[1].answered && got[1].reason.isEmpty());
}

void TestSimFaults::faultUntilClearedOnOneAddressOnly()
{
    sim->setFault(fault(SimFault::NoReply), -1, 2);
    QVERIFY(readId(*port));
    port->setSlaveAddress(2);
    QVERIFY(!readId(*port));
    QVERIFY(!readId(*port));
    sim->clearFaults();
    QVERIFY(readId(*port));
}

void TestSimFaults::lineFaultCountsRequestsToEveryDevice()
{
    sim->setFault(fault(SimFault::BadCrc), 2, 0);
    QVERIFY(!readId(*port));
    port->setSlaveAddress(2);
    QVERIFY(!readId(*port));
    QCOMPARE(port->exception(), 255);
    QVERIFY(readId(*port));
}

void TestSimFaults::exceptionFaultLeavesTheDeviceAlone()
{
    sim->setFault(fault(SimFault::Exception, 4), 1, 1);
    QVERIFY(!port->writeRegister(37, 0x0002));
    QCOMPARE(port->exception(), 4);
    QCOMPARE(sim->registerValue(1, 37) & 0x0002, 0);
    QVERIFY(port->writeRegister(37, 0x0002));
    QCOMPARE(sim->registerValue(1, 37) & 0x0002, 0x0002);
}

void TestSimFaults::splitWithinTheGapIsOneReply()
{
    port->setReplyGap(ModbusPort::kInterByteGapMs); // the device's own gap
    sim->setFault(fault(SimFault::SplitReply, 0, 120), 1, 1);
    QElapsedTimer t;
    t.start();
    QVERIFY2(readId(*port), qPrintable(port->errorString()));
    QVERIFY(t.elapsed() >= 120);
}

void TestSimFaults::splitBeyondTheGapBreaksTheReply()
{
    port->setReplyGap(ModbusPort::kInterByteGapMs);
    sim->setFault(fault(SimFault::SplitReply, 0, 500), 1, 1);
    QVERIFY(!readId(*port));
    QCOMPARE(port->exception(), 255); // half a reply: its CRC cannot hold
    // the rest still comes, late; take it off the line
    port.reset();
    RawMaster rest;
    QVERIFY(rest.open(sim->linkPath(), false));
    const int replySize = 3 + 8 + 2;
    QCOMPARE(rest.receive(replySize - replySize / 2, 2000).size(), replySize - replySize / 2);
}

void TestSimFaults::silentThenAnswersAgain()
{
    const int silentMs = 800;
    QElapsedTimer since;
    since.start();
    sim->setFault(fault(SimFault::Silent, 0, silentMs), -1, 0);
    QVERIFY(!readId(*port));
    QCOMPARE(port->failure(), ModbusPort::Failure::NoAnswer);
    QCOMPARE(sim->requests().first().reason, QStringLiteral("silent"));
    bool answered = false;
    while (!answered && since.elapsed() < 5000)
        answered = readId(*port);
    QVERIFY(answered);
    QVERIFY(since.elapsed() >= silentMs);
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
