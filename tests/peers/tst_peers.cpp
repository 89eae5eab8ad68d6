// Independent Modbus implementations on both sides of our code: a standard
// master (libmodbus, and the mbpoll tool) against the simulator, and a standard
// slave (libmodbus) against the orbix command line.
#include "link/modbusport.h"
#include "sim/simulator.h"
#include "tests/programrun.h"

#include <QtTest>

#include <modbus/modbus.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

namespace {

// A libmodbus RTU slave on a fresh pseudo-terminal: libmodbus opens /dev/ptmx,
// and the other end is what the master under test opens.
class LibmodbusSlave
{
public:
    explicit LibmodbusSlave(int slaveId) : id(slaveId) {}
    ~LibmodbusSlave() { stop(); }

    bool start()
    {
        ctx = modbus_new_rtu("/dev/ptmx", 19200, 'E', 8, 1);
        mapping = modbus_mapping_new(0, 0, 100, 0);
        if (!ctx || !mapping || modbus_set_slave(ctx, id) != 0 || modbus_connect(ctx) != 0)
            return false;
        const int fd = modbus_get_socket(ctx);
        if (grantpt(fd) != 0 || unlockpt(fd) != 0)
            return false;
        path = QString::fromLocal8Bit(ptsname(fd));
        keepOpen = ::open(ptsname(fd), O_RDWR | O_NOCTTY); // no hang-up between masters
        for (int i = 0; i < 100; ++i)
            mapping->tab_registers[i] = quint16(1000 + i);
        modbus_set_indication_timeout(ctx, 0, 100000); // wake up to notice the stop
        worker = std::thread([this] { serve(); });
        return keepOpen >= 0;
    }

    void stop()
    {
        running = false;
        if (worker.joinable())
            worker.join();
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
            ctx = nullptr;
        }
        if (mapping)
            modbus_mapping_free(mapping);
        mapping = nullptr;
        if (keepOpen >= 0)
            ::close(keepOpen);
        keepOpen = -1;
    }

    QString path;
    modbus_mapping_t *mapping = nullptr;

private:
    void serve()
    {
        quint8 query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (running) {
            const int n = modbus_receive(ctx, query);
            if (n > 0)
                modbus_reply(ctx, query, n, mapping);
        }
    }

    int id;
    modbus_t *ctx = nullptr;
    int keepOpen = -1;
    std::atomic<bool> running {true};
    std::thread worker;
};

ProgramRun runProgram(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return waitForProgram(p, 30000);
}

ProgramRun mbpoll(const QStringList &args)
{
    return runProgram(QStringLiteral("mbpoll"), args);
}

ProgramRun orbix(const QStringList &args)
{
    return runProgram(QStringLiteral(ORBIX_CLI), args);
}

// Options, the device, then the values to write (if any).
QStringList mbpollArgs(const QString &path, int reg, const QStringList &options, const QStringList &values = {})
{
    return QStringList {"-m", "rtu", "-a", "1", "-b", "19200", "-P", "even", "-t", "4", "-r", QString::number(reg),
                        "-1", "-o", "1"} + options + QStringList {path} + values;
}

} // namespace

class TestPeers : public QObject
{
    Q_OBJECT

private slots:
    void orbixAgainstLibmodbusSlave();
    void modbusPortReadsTheLongestBlock();
    void scanRecognisesAnotherSlave();
    void libmodbusMasterAgainstSimulator();
    void mbpollAgainstSimulator();
};

void TestPeers::orbixAgainstLibmodbusSlave()
{
    LibmodbusSlave slave(17);
    QVERIFY(slave.start());
    ProgramRun r = orbix({"read", slave.path, "--address", "17", "1", "3"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("1 1000\n2 1001\n3 1002\n"));
    QCOMPARE(orbix({"write", slave.path, "--address", "17", "10", "555", "556"}).code, 0);
    QCOMPARE(slave.mapping->tab_registers[9], quint16(555));
    QCOMPARE(slave.mapping->tab_registers[10], quint16(556));
    QCOMPARE(orbix({"write", slave.path, "--address", "17", "--single", "1", "7"}).code, 0);
    QCOMPARE(slave.mapping->tab_registers[0], quint16(7));
    r = orbix({"read", slave.path, "--address", "17", "100", "2"}); // beyond its 100 registers
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.trimmed(), QString("orbix: Modbus exception 2"));
    r = orbix({"read", slave.path, "--address", "18", "1"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.trimmed(), QString("orbix: no answer"));
}

void TestPeers::modbusPortReadsTheLongestBlock()
{
    LibmodbusSlave slave(1);
    QVERIFY(slave.start());
    ModbusPort port(slave.path.toLocal8Bit());
    QVERIFY(port.open());
    port.setSlaveAddress(1);
    port.setReadTimeout(1000);
    quint16 values[100];
    QVERIFY2(port.readRegisters(1, sizeof values, values), qPrintable(port.errorString()));
    QCOMPARE(values[0], quint16(1000));
    QCOMPARE(values[99], quint16(1099));
}

void TestPeers::scanRecognisesAnotherSlave()
{
    LibmodbusSlave slave(17);
    QVERIFY(slave.start());
    const quint16 id[] = {2, 10, 100, 70}; // identification words of a 5-50 A device
    std::copy(id, id + 4, slave.mapping->tab_registers);
    // One address only: this libmodbus slave loses the frame after one it ignored for another address.
    const ProgramRun r = orbix({"scan", slave.path, "--addresses", "17"});
    QCOMPARE(r.code, 0);
    // A pty carries no parity, so this slave answers under every format.
    QCOMPARE(r.out, QString("ОРБИКС-11 5.0-50.0 v0.7/17/19200/8E1/COM0\n"
                            "ОРБИКС-11 5.0-50.0 v0.7/17/19200/8O1/COM0\n"
                            "ОРБИКС-11 5.0-50.0 v0.7/17/19200/8N15/COM0\n"));
}

void TestPeers::libmodbusMasterAgainstSimulator()
{
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    QVERIFY(sim.start());
    modbus_t *ctx = modbus_new_rtu(sim.linkPath().toLocal8Bit().constData(), 19200, 'E', 8, 1);
    QVERIFY(ctx);
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 1, 0);
    QCOMPARE(modbus_connect(ctx), 0);
    quint16 id[4] = {};
    QCOMPARE(modbus_read_registers(ctx, 0, 4, id), 4); // wire address 0 = register 1
    QCOMPARE(QVector<quint16>(id, id + 4), (QVector<quint16> {2, 10, 100, 70}));
    // A guarded register refuses a write that does not follow the access code.
    const quint16 before = sim.registerValue(1, 5);
    QCOMPARE(modbus_write_register(ctx, 4, quint16(before + 1)), -1);
    QCOMPARE(errno, int(EMBXILVAL));
    QCOMPARE(sim.registerValue(1, 5), before);
    QCOMPARE(modbus_write_register(ctx, 31, 1234), 1); // register 32: the access code
    const quint16 value = quint16(before + 1);
    QCOMPARE(modbus_write_registers(ctx, 4, 1, &value), 1);
    QCOMPARE(sim.registerValue(1, 5), value);
    modbus_close(ctx);
    modbus_free(ctx);
}

void TestPeers::mbpollAgainstSimulator()
{
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 80, 0, 19200, 1, 50});
    QVERIFY(sim.start());
    const QString path = sim.linkPath();
    ProgramRun r = mbpoll(mbpollArgs(path, 1, {"-c", "4"}));
    QCOMPARE(r.code, 0);
    for (const char *line : {"[1]: \t1", "[2]: \t50", "[3]: \t500", "[4]: \t80"})
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
    r = mbpoll(mbpollArgs(path, 48, {}, {"7"}));
    const QString refusal = r.out + r.err; // without the access code first
    QVERIFY2(refusal.contains("Illegal data value"), qPrintable(refusal));
    QCOMPARE(mbpoll(mbpollArgs(path, 32, {}, {"1234"})).code, 0);
    r = mbpoll(mbpollArgs(path, 5, {}, {"321"}));
    QCOMPARE(r.code, 0);
    QCOMPARE(sim.registerValue(1, 5), quint16(321));
}

QTEST_GUILESS_MAIN(TestPeers)
#include "tst_peers.moc"
