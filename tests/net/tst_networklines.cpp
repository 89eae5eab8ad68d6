// Lines over the network against independent peers: pymodbus's TCP server in both
// framings, ser2net in front of the simulator's pseudo-terminal for RFC 2217 (the
// speed and frame format reach the pseudo-terminal), the simulator's own servers for
// a dropped connection and the scan; refused and unresolvable names.
#include "exchange/datathread.h"
#include "exchange/searcheventfound.h"
#include "exchange/searchthread.h"
#include "link/modbusport.h"
#include "sim/simtcpserver.h"
#include "sim/simulator.h"
#include "tests/exchange/eventrecorder.h"
#include "tests/exchange/searchrecorder.h"
#include "tests/sim/simidentity.h"
#include "tests/programrun.h"
#include "tests/testtiming.h"

#include <QtTest>


namespace {

constexpr int kWaitMs = 15000;


// A peer process, stopped by its id whatever the test's outcome.
struct Peer {
    QProcess process;
    ~Peer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

std::unique_ptr<ModbusPort> openLine(const QString &url, quint8 address)
{
    auto port = std::make_unique<ModbusPort>(url.toUtf8());
    testTiming().applyTo(*port);
    if (!port->open())
        return nullptr;
    port->setSlaveAddress(address);
    port->setReadTimeout(500);
    return port;
}

// Waits until the peer takes connections.
bool reachable(const QString &url)
{
    return QTest::qWaitFor([&] { return openLine(url, 1) != nullptr; }, kWaitMs);
}

} // namespace

class TestNetworkLines : public QObject
{
    Q_OBJECT

private slots:
    void independentServer_data();
    void independentServer();
    void rfc2217SetsTheServersLine();
    void droppedConnectionComesBack();
    void connectFailuresAreNamed_data();
    void connectFailuresAreNamed();
    void scanOverEachKind_data();
    void scanOverEachKind();
    void commandLineOverEachKind_data();
    void commandLineOverEachKind();
    void replyInPacketsIsReadWhole_data();
    void replyInPacketsIsReadWhole();

private:
    bool startSer2net(Peer &peer, const Simulator &sim, QString &url);
    // The simulator's line reached as kind says: through ser2net or its own server.
    bool startLine(const QString &kind, const Simulator &sim, SimTcpServer &server, Peer &ser2net, QString &url);
};

void TestNetworkLines::independentServer_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("framer");
    QTest::newRow("Modbus TCP") << "modbus-tcp" << "socket";
    QTest::newRow("RTU over TCP") << "tcp" << "rtu";
}

// pymodbus: holding register N holds 1000 + N - 1 at unit 7.
void TestNetworkLines::independentServer()
{
    QFETCH(QString, scheme);
    QFETCH(QString, framer);
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    Peer peer;
    peer.process.start("/usr/bin/python3", {QFINDTESTDATA("pymodbus_server.py"), QString::number(port), framer, "7"});
    const QString url = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port);
    QVERIFY2(reachable(url), qPrintable(peer.process.readAllStandardError()));
    auto line = openLine(url, 7);
    QVERIFY(line);
    quint16 values[3] = {};
    QVERIFY2(line->readRegisters(1, sizeof values, values), qPrintable(line->errorString()));
    QCOMPARE(values[2], quint16(1002));
    QVERIFY2(line->writeRegister(10, 42), qPrintable(line->errorString()));
    const quint16 words[2] = {7, 8};
    QVERIFY2(line->writeRegisters(20, sizeof words, words), qPrintable(line->errorString()));
    QVERIFY(line->readRegisters(20, sizeof values, values));
    QCOMPARE(values[1], quint16(8));
    QVERIFY(line->readRegisters(10, 2, values));
    QCOMPARE(values[0], quint16(42));
    line->setSlaveAddress(8); // nobody there: the server keeps quiet
    QVERIFY(!line->readRegisters(1, 2, values));
    QCOMPARE(line->failure(), ModbusPort::Failure::NoAnswer);
}

bool TestNetworkLines::startSer2net(Peer &peer, const Simulator &sim, QString &url)
{
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    peer.process.start("ser2net", {"-n", "-u", "-Y", "connection: &line", "-Y",
                                   QStringLiteral("  accepter: telnet(rfc2217),tcp,127.0.0.1,%1").arg(port), "-Y",
                                   "  connector: serialdev," + sim.linkPath() + ",19200e81,local"});
    url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(port);
    return reachable(url);
}

bool TestNetworkLines::startLine(const QString &kind, const Simulator &sim, SimTcpServer &server, Peer &ser2net,
                                 QString &url)
{
    if (kind == "rfc2217")
        return startSer2net(ser2net, sim, url);
    if (!server.listen("127.0.0.1", 0))
        return false;
    url = QStringLiteral("%1://127.0.0.1:%2").arg(kind).arg(server.port());
    return true;
}

// The simulator answers only on the line settings of each device: an answer is the
// proof that the speed and the format set through the server reached its line.
void TestNetworkLines::rfc2217SetsTheServersLine()
{
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {5, 40, 1, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {6, 80, 3, 9600, 1, 50});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    Peer ser2net;
    QString url;
    QVERIFY2(startSer2net(ser2net, sim, url), qPrintable(ser2net.process.readAllStandardError()));
    auto line = openLine(url, 1);
    QVERIFY(line);
    quint16 id[4] = {};
    QVERIFY2(line->readRegisters(1, sizeof id, id), qPrintable(line->errorString()));
    QCOMPARE(id[3], quint16(70));
    line->setSlaveAddress(5);
    QVERIFY(!line->readRegisters(1, sizeof id, id)); // 8E1 on the line: device 5 hears nothing
    line->setFrameFormat(ModbusPort::Format8O1);
    QVERIFY2(line->readRegisters(1, sizeof id, id), qPrintable(line->errorString()));
    QCOMPARE(id[3], quint16(40));
    line->setSlaveAddress(6);
    line->setFrameFormat(ModbusPort::Format8N2);
    line->setSpeed(9600);
    QVERIFY2(line->readRegisters(1, sizeof id, id), qPrintable(line->errorString()));
    QCOMPARE(id[3], quint16(80));
}

// A network line that drops is a lost link; the exchange connects again by itself.
void TestNetworkLines::droppedConnectionComesBack()
{
    const SimDeviceConfig config;
    Simulator sim;
    sim.addDevice(config);
    QVERIFY(sim.start());
    SimTcpServer server(sim, SimTcpServer::Framing::Rtu);
    QVERIFY2(server.listen("127.0.0.1", 0), qPrintable(server.errorString()));
    const quint16 port = server.port();
    DataThread thread(SimIdentity::of(config, 0), QStringLiteral("tcp://127.0.0.1:%1").arg(port));
    thread.setTiming(testTiming());
    EventRecorder events;
    connect(&thread, &DataThread::dataEvent, &events, &EventRecorder::onDataEvent);
    thread.startExchange();
    QVERIFY(events.waitFor(DataEvent::Get, 1, kWaitMs));
    server.dropClients(); // reset by the far end
    QVERIFY(events.waitFor(DataEvent::Error, 1, kWaitMs));
    QVERIFY(events.waitFor(DataEvent::LinkRestored, 1, kWaitMs));
    server.stop(); // the server gone for a while, then back on the same port
    QVERIFY(events.waitFor(DataEvent::Error, 2, kWaitMs));
    QVERIFY2(server.listen("127.0.0.1", port), qPrintable(server.errorString()));
    QVERIFY(events.waitFor(DataEvent::LinkRestored, 2, kWaitMs));
    const int gets = events.count(DataEvent::Get);
    QVERIFY(events.waitFor(DataEvent::Get, gets + 1, kWaitMs));
    thread.stopExchange();
    QCOMPARE(events.count(DataEvent::Connected), 1);
}

void TestNetworkLines::connectFailuresAreNamed_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:%1").arg(SimTcpServer::unusedLoopbackPort()) << "(refused)";
    QTest::newRow("name not resolved") << "modbus-tcp://no-such-host.invalid" << "(name not resolved";
    QTest::newRow("no port") << "rfc2217://127.0.0.1" << "is not a network line";
}

void TestNetworkLines::connectFailuresAreNamed()
{
    QFETCH(QString, url);
    QFETCH(QString, reason);
    ModbusPort port(url.toUtf8());
    QVERIFY(!port.open());
    QCOMPARE(port.failure(), ModbusPort::Failure::NotOpen);
    QVERIFY2(port.errorString().contains(reason), qPrintable(port.errorString()));
}

void TestNetworkLines::scanOverEachKind_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("formats");
    QTest::newRow("Modbus TCP") << "modbus-tcp" << 1;
    QTest::newRow("RTU over TCP") << "tcp" << 1;
    QTest::newRow("RFC 2217") << "rfc2217" << 3;
}

// Where the server keeps its own frame format each address is probed once.
void TestNetworkLines::scanOverEachKind()
{
    QFETCH(QString, kind);
    QFETCH(int, formats);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {2, 70, 0, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {3, 80, 0, 19200, 1, 50});
    QVERIFY(sim.start());
    SimTcpServer server(sim, kind == "modbus-tcp" ? SimTcpServer::Framing::ModbusTcp : SimTcpServer::Framing::Rtu);
    Peer ser2net;
    QString url;
    QVERIFY(startLine(kind, sim, server, ser2net, url));
    SearchThread thread;
    SearchRecorder rec;
    thread.setDevicePath(url);
    thread.setBaudRate(19200);
    thread.setScanRange(1, 4);
    thread.setTiming(testTiming());
    connect(&thread, &SearchThread::searchEvent, &rec, &SearchRecorder::onSearchEvent);
    thread.startSearch();
    QVERIFY(rec.waitFor(SearchEvent::ScanDone, 1, kWaitMs));
    QCOMPARE(thread.formatsPerAddress(), formats);
    QCOMPARE(rec.count(SearchEvent::Progress), 4 * formats);
    QCOMPARE(rec.count(SearchEvent::Found), 2);
}

void TestNetworkLines::commandLineOverEachKind_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("Modbus TCP") << "modbus-tcp";
    QTest::newRow("RTU over TCP") << "tcp";
    QTest::newRow("RFC 2217") << "rfc2217";
}

// The device's own commands, not only register reads, over every kind of network line.
void TestNetworkLines::commandLineOverEachKind()
{
    QFETCH(QString, kind);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    QVERIFY(sim.start());
    SimTcpServer server(sim, kind == "modbus-tcp" ? SimTcpServer::Framing::ModbusTcp : SimTcpServer::Framing::Rtu);
    Peer ser2net;
    QString url;
    QVERIFY(startLine(kind, sim, server, ser2net, url));
    // A deadline, not a pace: under sanitizers on a loaded machine a whole audit takes
    // several seconds. What the command said is shown with any failure.
    auto orbix = [](const QStringList &args) {
        QProcess cli;
        cli.start(QStringLiteral(ORBIX_CLI), args + QStringList {"--reply-gap", QString::number(kTestReplyGapMs)});
        return waitForProgram(cli, 4 * kWaitMs);
    };
    const auto said = [](const ProgramRun &r) {
        return QStringLiteral("exit %1, stdout:\n%2\nstderr:\n%3").arg(r.code).arg(r.out, r.err).toLocal8Bit();
    };
    const ProgramRun read = orbix({"read", url, "4", "--address", "1"});
    QVERIFY2(read.code == 0 && read.out.contains("70"), said(read).constData()); // the modification
    const ProgramRun scan = orbix({"scan", url, "--addresses", "1-3", "--probe-timeout", "100"});
    QVERIFY2(scan.code == 0 && scan.out.count(QLatin1Char('\n')) == 1, said(scan).constData());
    QVERIFY2(scan.out.contains("/1/19200/8E1/"), said(scan).constData()); // address, speed, format
    const ProgramRun monitor = orbix({"monitor", url, "--address", "1", "--cycles", "2"});
    QVERIFY2(monitor.code == 0, said(monitor).constData());
    QCOMPARE(monitor.out.count(QRegularExpression("^ 0 monitoring", QRegularExpression::MultilineOption)), 2);
    const ProgramRun config = orbix({"config", "get", url, "--address", "1"});
    QVERIFY2(config.code == 0 && config.out.startsWith("ratedCurrent "), said(config).constData());
    sim.injectTrip(1, 31);
    const ProgramRun oscillogram = orbix({"oscillogram", url, "--address", "1"});
    QVERIFY2(oscillogram.code == 0 && oscillogram.out.startsWith("faultCode 31"), said(oscillogram).constData());
#ifdef ORBIX_WITH_REPORT
    // A whole line's audit: the scan, then the report, settings and oscillogram files.
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const ProgramRun audit = orbix({"audit", url, "--out", out.path(), "--addresses", "1-2", "--seconds", "1",
                              "--probe-timeout", "100"});
    QVERIFY2(audit.code == 0, said(audit).constData());
    for (const char *name : {"1.pdf", "1.json", "1.cfg", "1.dat", "audit.csv"})
        QVERIFY2(QFileInfo(out.filePath(name)).size() > 0, name);
#endif
}

void TestNetworkLines::replyInPacketsIsReadWhole_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("pauseMs");
    // The pause longer than the reply gap (50 ms) and shorter than the gap with the
    // network's allowance (200 ms): a reply a loaded serial server sends in two packets.
    QTest::newRow("Modbus TCP") << "modbus-tcp" << 150;
    QTest::newRow("RTU over TCP") << "tcp" << 150;
    QTest::newRow("RTU over TCP, a pause within the gap") << "tcp" << 20;
}

// A long reply whose second half comes after a pause is one reply, and the next
// request gets its own, not the tail of this one.
void TestNetworkLines::replyInPacketsIsReadWhole()
{
    QFETCH(QString, kind);
    QFETCH(int, pauseMs);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    QVERIFY(sim.start());
    SimTcpServer server(sim, kind == "modbus-tcp" ? SimTcpServer::Framing::ModbusTcp : SimTcpServer::Framing::Rtu);
    Peer none;
    QString url;
    QVERIFY(startLine(kind, sim, server, none, url));
    auto line = openLine(url, 1);
    QVERIFY(line);
    sim.injectTrip(1, 31); // an oscillogram of other values than zeros
    SimFault split;
    split.kind = SimFault::SplitReply;
    split.pauseMs = pauseMs;
    sim.setFault(split, 1, 1);
    quint16 block[64] = {};
    QVERIFY2(line->readRegisters(305, sizeof block, block), qPrintable(line->errorString()));
    QCOMPARE(block[63], sim.registerValue(1, 305 + 63));
    quint16 id[4] = {};
    QVERIFY2(line->readRegisters(1, sizeof id, id), qPrintable(line->errorString()));
    QCOMPARE(id[3], quint16(70));
}

QTEST_GUILESS_MAIN(TestNetworkLines)
#include "tst_networklines.moc"
