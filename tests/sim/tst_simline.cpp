// The simulator on its pseudo-terminal, driven by the real master (ModbusPort) or by
// raw bytes: line-settings matching, framing, the guard over the line, broadcast,
// refusals, the request record, reply pacing, the symbolic link and serial-port mode.
#include "device/registermap.h"
#include "link/modbusport.h"
#include "link/rtuframing.h"
#include "link/packetexecutor.h"
#include "link/tdatapacket.h"
#include "sim/simulator.h"
#include "tests/sim/rawmaster.h"
#include "tests/sim/testmaster.h"

#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

SimDeviceConfig device(int address, quint32 baud = 19200, int format = 0, int modification = 70)
{
    SimDeviceConfig c;
    c.address = address;
    c.baudRate = baud;
    c.frameFormat = format;
    c.modification = modification;
    return c;
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

qint64 characterNs(quint32 baud)
{
    return 11LL * 1000000000 / baud;
}

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT

private slots:
    void settingsMatch_data();
    void settingsMatch();
    void guardedWriteOverTheLine();
    void accessCodeBeforeAPacketEntry();
    void broadcastWritesReachEveryDeviceUnanswered();
    void rawRequests_data();
    void rawRequests();
    void requestsAreRecorded();
    void replyIsPacedByCharacterTime();
    void requestWrittenInPiecesIsOneFrame();
    void reopenedLineKeepsItsSettings();
    void symlinkLivesWithTheSimulator();
    void servesASerialPort();
    void startFailuresAreExplained();
};

void TestSimLine::settingsMatch_data()
{
    QTest::addColumn<quint32>("deviceBaud");
    QTest::addColumn<int>("deviceFormat");
    QTest::addColumn<quint32>("masterBaud");
    QTest::addColumn<int>("masterFormat");
    QTest::addColumn<bool>("answers");
    QTest::newRow("19200 8E1 both") << 19200u << 0 << 19200u << 0 << true;
    QTest::newRow("speed differs") << 19200u << 0 << 9600u << 0 << false;
    QTest::newRow("9600 8O1 both") << 9600u << 1 << 9600u << 1 << true;
    QTest::newRow("8O1 device, 8E1 master") << 9600u << 1 << 9600u << 0 << false;
    QTest::newRow("8E1 device, 8O1 master") << 19200u << 0 << 19200u << 1 << false;
    QTest::newRow("8N15 device, 8N2 master") << 38400u << 2 << 38400u << 3 << true;
    QTest::newRow("8N2 device, 8N15 master") << 19200u << 3 << 19200u << 2 << true;
    QTest::newRow("8N2 device, 8E1 master") << 19200u << 3 << 19200u << 0 << false;
    QTest::newRow("8E1 device, 8N2 master") << 19200u << 0 << 19200u << 3 << false;
}

void TestSimLine::settingsMatch()
{
    QFETCH(quint32, deviceBaud);
    QFETCH(int, deviceFormat);
    QFETCH(quint32, masterBaud);
    QFETCH(int, masterFormat);
    QFETCH(bool, answers);
    Simulator sim;
    sim.addDevice(device(1, deviceBaud, deviceFormat));
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    auto port = TestMaster::open(sim.linkPath(), 1, masterBaud, masterFormat,
                                 answers ? TestMaster::kAnswerTimeoutMs : TestMaster::kSilenceTimeoutMs);
    QVERIFY(port);
    quint16 id[4] = {};
    QCOMPARE(port->readRegisters(1, sizeof id, id), answers);
    QVERIFY(sim.waitForRequests(1, 1000));
    const SimRequest r = sim.requests().first();
    QCOMPARE(r.answered, answers);
    QCOMPARE(r.reason, answers ? QString() : QStringLiteral("line settings differ"));
    if (answers)
        QCOMPARE(id[3], quint16(70));
    else
        QCOMPARE(port->failure(), ModbusPort::Failure::NoAnswer);
}

void TestSimLine::guardedWriteOverTheLine()
{
    Simulator sim;
    sim.addDevice(device(4));
    sim.setAccessCode(777);
    QVERIFY(sim.start());
    auto port = TestMaster::open(sim.linkPath(), 4);
    QVERIFY(port);
    const quint16 before = sim.registerValue(4, 9);
    const quint16 value = quint16(before + 7);
    QVERIFY(!port->writeRegisters(9, 2, &value));
    QCOMPARE(port->exception(), 3);
    QCOMPARE(sim.registerValue(4, 9), before);

    QVERIFY(port->writeRegister(32, 777));
    QVERIFY2(port->writeRegisters(9, 2, &value), qPrintable(port->errorString()));
    QCOMPARE(sim.registerValue(4, 9), value);

    const quint16 again = quint16(value + 1);
    QVERIFY(!port->writeRegisters(9, 2, &again)); // the code opened one write only
    QCOMPARE(port->exception(), 3);
    QCOMPARE(sim.registerValue(4, 9), value);
}

void TestSimLine::accessCodeBeforeAPacketEntry()
{
    Simulator sim;
    sim.addDevice(device(1));
    QVERIFY(sim.start());
    auto port = TestMaster::open(sim.linkPath(), 1);
    QVERIFY(port);
    PacketExecutor executor(*port);
    TDataPacket<unsigned int> clock(48);
    clock.value = 0x12345678;
    QVERIFY(!executor.writePacket(clock, PacketExecutor::Guard {RegisterMap::AccessCode, 1111}));
    QCOMPARE(port->exception(), 3);
    QVERIFY2(executor.writePacket(clock, PacketExecutor::Guard {RegisterMap::AccessCode, 1234}), qPrintable(port->errorString()));
    QCOMPARE(sim.registerValue(1, 49), quint16(0x1234)); // the clock runs on in the low word
    QCOMPARE(sim.requests().size(), 4);
}

void TestSimLine::broadcastWritesReachEveryDeviceUnanswered()
{
    Simulator sim;
    sim.addDevice(device(1));
    sim.addDevice(device(2));
    sim.addDevice(device(3, 9600)); // does not hear 19200 bit/s
    QVERIFY(sim.start());
    auto port = TestMaster::open(sim.linkPath(), 0, 19200, 0, TestMaster::kSilenceTimeoutMs);
    QVERIFY(port);
    const quint16 before3 = sim.registerValue(3, 10);
    QVERIFY(!port->writeRegister(32, 1234));
    const quint16 delay = 42;
    QVERIFY(!port->writeRegisters(10, 2, &delay));
    QCOMPARE(port->failure(), ModbusPort::Failure::NoAnswer);
    QCOMPARE(sim.registerValue(1, 10), delay);
    QCOMPARE(sim.registerValue(2, 10), delay);
    QCOMPARE(sim.registerValue(3, 10), before3);
    quint16 id = 0;
    QVERIFY(!port->readRegisters(4, 2, &id)); // a read cannot be broadcast
    QVERIFY(sim.waitForRequests(3, 1000));
    for (const SimRequest &r : sim.requests())
        QVERIFY(!r.answered && r.reason == QStringLiteral("broadcast"));
}

void TestSimLine::rawRequests_data()
{
    QTest::addColumn<QByteArray>("request"); // CRC appended unless the row spoils it
    QTest::addColumn<bool>("appendCrc");
    QTest::addColumn<QByteArray>("reply");   // without CRC; empty: no reply
    QTest::addColumn<QString>("reason");
    QTest::newRow("function 4") << hex("010400000001") << true << hex("018401") << QString();
    QTest::newRow("function 17") << hex("0111") << true << hex("019101") << QString();
    QTest::newRow("read 126") << hex("01030000007E") << true << hex("018303") << QString();
    QTest::newRow("read register 701") << hex("010302BC0001") << true << hex("018302") << QString();
    QTest::newRow("write read-only 33") << hex("010600200001") << true << hex("018602") << QString();
    QTest::newRow("stop command echoed") << hex("0106001E0000") << true << hex("0106001E0000") << QString();
    QTest::newRow("bad CRC") << hex("0103000000010000") << false << QByteArray() << QStringLiteral("bad CRC");
    QTest::newRow("too short") << hex("0103") << false << QByteArray() << QStringLiteral("too short");
    QTest::newRow("another address") << hex("090300000001") << true << QByteArray()
                                     << QStringLiteral("no device at this address");
}

void TestSimLine::rawRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, appendCrc);
    QFETCH(QByteArray, reply);
    QFETCH(QString, reason);
    Simulator sim;
    sim.addDevice(device(1));
    QVERIFY(sim.start());
    RawMaster master;
    QVERIFY(master.open(sim.linkPath()));
    QVERIFY(master.send(appendCrc ? RawMaster::withCrc(request) : request));
    const QByteArray expected = reply.isEmpty() ? QByteArray() : RawMaster::withCrc(reply);
    QVERIFY(sim.waitForRequests(1, 1000));
    QCOMPARE(master.receive(qMax(1, expected.size()), reply.isEmpty() ? 150 : 1000), expected);
    QCOMPARE(sim.requests().first().reason, reason);
}

void TestSimLine::requestsAreRecorded()
{
    Simulator sim;
    sim.addDevice(device(6));
    QVERIFY(sim.start());
    auto port = TestMaster::open(sim.linkPath(), 6);
    QVERIFY(port);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    quint16 block[17];
    QVERIFY(port->readRegisters(33, sizeof block, block));
    const quint16 values[2] = {500, 1};
    QVERIFY(!port->writeRegisters(30, sizeof values, values));
    const QVector<SimRequest> got = sim.requests();
    QCOMPARE(got.size(), 2);
    QByteArray readFrame = RtuFraming::readRequest(6, 33, 17);
    RtuFraming::appendCrc(readFrame);
    QCOMPARE(got[0].frame, readFrame);
    QCOMPARE(got[0].address, 6);
    QCOMPARE(got[0].function, 3);
    QCOMPARE(got[0].firstRegister, 33);
    QCOMPARE(got[0].count, 17);
    QVERIFY(got[0].answered && got[0].values.isEmpty());
    QVERIFY(got[0].timeMs >= before && got[0].timeMs <= got[1].timeMs);
    QCOMPARE(got[1].function, 16);
    QCOMPARE(got[1].firstRegister, 30);
    QCOMPARE(got[1].values, (QVector<quint16> {500, 1}));
    QVERIFY(got[1].answered);
    QCOMPARE(got[1].exception, 3);
    sim.clearRequests();
    QVERIFY(sim.requests().isEmpty());
}

void TestSimLine::replyIsPacedByCharacterTime()
{
    const quint32 baud = 9600;
    const int turnaround = 40;
    Simulator sim;
    sim.addDevice(device(1, baud));
    sim.setTurnaroundMs(turnaround);
    QVERIFY(sim.start());
    RawMaster master;
    QVERIFY(master.open(sim.linkPath(), true, baud));
    const int replySize = 3 + 2 * 125 + 2;
    const qint64 sent = RawMaster::nowNs();
    QVERIFY(master.send(RawMaster::withCrc(RtuFraming::readRequest(1, 1, 125))));
    QVector<qint64> arrivals;
    QCOMPARE(master.receive(replySize, 3000, &arrivals).size(), replySize);
    const qint64 tc = characterNs(baud);
    // the request takes 8 characters and the silence after it 3.5 before the turnaround
    const qint64 firstNotBefore = 11 * tc + turnaround * 1000000LL;
    QVERIFY2(arrivals.first() - sent >= firstNotBefore, qPrintable(QString::number(arrivals.first() - sent)));
    QVERIFY2(arrivals.last() - sent >= firstNotBefore + (replySize - 1) * tc,
             qPrintable(QString::number(arrivals.last() - sent)));
}

void TestSimLine::requestWrittenInPiecesIsOneFrame()
{
    Simulator sim;
    sim.addDevice(device(1));
    QVERIFY(sim.start());
    RawMaster master;
    QVERIFY(master.open(sim.linkPath()));
    const QByteArray request = RawMaster::withCrc(RtuFraming::readRequest(1, 4, 1));
    QVERIFY(master.send(request.left(3)) && master.send(request.mid(3)));
    QCOMPARE(master.receive(7, 1000), RawMaster::withCrc(hex("01030200") + char(70)));
    // two requests without the silence between them are one frame, and a broken one
    QVERIFY(master.send(request + request));
    QVERIFY(sim.waitForRequests(2, 1000));
    QCOMPARE(master.receive(1, 150), QByteArray());
    QCOMPARE(sim.requests().size(), 2);
    QCOMPARE(sim.requests().last().frame.size(), 16);
    QCOMPARE(sim.requests().last().reason, QStringLiteral("bad CRC"));
}

void TestSimLine::reopenedLineKeepsItsSettings()
{
    Simulator sim;
    sim.addDevice(device(1, 9600, 1));
    QVERIFY(sim.start());
    quint16 id = 0;
    for (int round = 0; round < 2; ++round) {
        auto port = TestMaster::open(sim.linkPath(), 1, 9600, ModbusPort::Format8O1);
        QVERIFY(port);
        QVERIFY2(port->readRegisters(4, 2, &id), qPrintable(port->errorString()));
    }
    // a program that opens the line without setting it up finds it as the last one left it
    RawMaster master;
    QVERIFY(master.open(sim.linkPath(), false));
    QVERIFY(master.send(RawMaster::withCrc(RtuFraming::readRequest(1, 4, 1))));
    QCOMPARE(master.receive(7, 1000).size(), 7);
}

void TestSimLine::symlinkLivesWithTheSimulator()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("line"));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent"), link)); // left over from a crashed run
    Simulator sim;
    sim.addDevice(device(1));
    QVERIFY2(sim.start(link), qPrintable(sim.errorString()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.linkPath());
    sim.stop();
    QVERIFY(!QFileInfo(link).isSymLink());

    QFile plain(link);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!sim.start(link));
    QVERIFY(sim.errorString().contains(link));
    QVERIFY(QFileInfo(link).isFile()); // never removed
}

void TestSimLine::servesASerialPort()
{
    const int masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(masterFd >= 0 && grantpt(masterFd) == 0 && unlockpt(masterFd) == 0);
    RawMaster master;
    master.adopt(masterFd); // closed whatever the outcome
    const QString tty = QString::fromLocal8Bit(ptsname(masterFd));
    Simulator sim;
    sim.addDevice(device(2, 9600, ModbusPort::Format8O1, 80));
    QVERIFY2(sim.startOnTty(tty), qPrintable(sim.errorString()));
    QCOMPARE(sim.linkPath(), tty);
    termios t {};
    QVERIFY(tcgetattr(masterFd, &t) == 0);
    QCOMPARE(cfgetospeed(&t), speed_t(B9600)); // set up by the simulator itself
    QVERIFY(t.c_cflag & PARODD);
    QVERIFY(master.send(RawMaster::withCrc(RtuFraming::readRequest(2, 4, 1))));
    QCOMPARE(master.receive(7, 1000), RawMaster::withCrc(hex("02030200") + char(80)));
    sim.stop();
}

void TestSimLine::startFailuresAreExplained()
{
    Simulator sim;
    sim.addDevice(device(1));
    QVERIFY(!sim.startOnTty(QStringLiteral("/nonexistent/ttyUSB9")));
    QVERIFY(sim.errorString().contains(QStringLiteral("/nonexistent/ttyUSB9")));
    QVERIFY(!sim.isRunning());
    QVERIFY(sim.start());
    QVERIFY(!sim.start());
    QVERIFY(sim.errorString().contains(QStringLiteral("already running")));
    QVERIFY(sim.isRunning()); // the first start is untouched
}

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
