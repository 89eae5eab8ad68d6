// The orbix-sim program as the other tools start it: the path on its first line, the
// link, commands on standard input, life after the end of that input, a clean exit on
// SIGTERM, options from a file, and its refusals.
#include "link/modbusport.h"
#include "tests/sim/testmaster.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

// Kills the program by its id if a test ends while it still runs.
struct ProcessGuard {
    QProcess &process;
    ~ProcessGuard()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
};

QString firstLine(QProcess &p)
{
    if (!QTest::qWaitFor([&] { return p.canReadLine() || p.state() == QProcess::NotRunning; }, 5000))
        return QString();
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void servesCommandsAndStopsCleanly();
    void optionsFromAFileAndAFaultAtStart();
    void refusesBadArguments();
    void helpDescribesOptionsAndCommands();
    void versionNamesTheBuild();
};

void TestSimProcess::servesCommandsAndStopsCleanly()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("line"));
    QProcess sim;
    ProcessGuard guard {sim};
    sim.start(QStringLiteral(ORBIX_SIM_PATH), {QStringLiteral("--link"), link, QStringLiteral("--device"),
                                              QStringLiteral("3:80:8O1:9600")});
    const QString path = firstLine(sim);
    QVERIFY2(path.startsWith(QStringLiteral("/dev/")), qPrintable(path));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    auto port = TestMaster::open(link, 3, 9600, ModbusPort::Format8O1);
    QVERIFY(port);
    quint16 modification = 0;
    QVERIFY2(port->readRegisters(4, 2, &modification), qPrintable(port->errorString()));
    QCOMPARE(modification, quint16(80));

    sim.write("get 3 4\n");
    QCOMPARE(firstLine(sim), QStringLiteral("4 = 80 (0x0050)"));
    sim.closeWriteChannel(); // end of input is not the end of the simulator
    QVERIFY2(port->readRegisters(4, 2, &modification), qPrintable(port->errorString()));
    QCOMPARE(sim.state(), QProcess::Running);

    ::kill(pid_t(sim.processId()), SIGTERM);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimProcess::optionsFromAFileAndAFaultAtStart()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("device = 5:60:8N2:38400\nfault = exception 6 1\n");
    file.close();
    QProcess sim;
    ProcessGuard guard {sim};
    sim.setStandardInputFile(QProcess::nullDevice()); // as in CI: no input at all
    sim.start(QStringLiteral(ORBIX_SIM_PATH), {QStringLiteral("--config"), file.fileName()});
    const QString path = firstLine(sim);
    QVERIFY2(path.startsWith(QStringLiteral("/dev/")), qPrintable(path));
    auto port = TestMaster::open(path, 5, 38400, ModbusPort::Format8N15);
    QVERIFY(port);
    quint16 modification = 0;
    QVERIFY(!port->readRegisters(4, 2, &modification));
    QCOMPARE(port->exception(), 6);
    QVERIFY2(port->readRegisters(4, 2, &modification), qPrintable(port->errorString()));
    QCOMPARE(modification, quint16(60));
    ::kill(pid_t(sim.processId()), SIGINT);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

void TestSimProcess::refusesBadArguments()
{
    QProcess sim;
    ProcessGuard guard {sim};
    sim.start(QStringLiteral(ORBIX_SIM_PATH), {QStringLiteral("--device"), QStringLiteral("0")});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().contains("bad device"));
    QVERIFY(sim.readAllStandardOutput().isEmpty());

    sim.start(QStringLiteral(ORBIX_SIM_PATH), {QStringLiteral("--tty"), QStringLiteral("/nonexistent/ttyS9")});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY(sim.readAllStandardError().contains("/nonexistent/ttyS9"));
}

void TestSimProcess::helpDescribesOptionsAndCommands()
{
    QProcess sim;
    ProcessGuard guard {sim};
    sim.start(QStringLiteral(ORBIX_SIM_PATH), {QStringLiteral("--help")});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    const QByteArray text = sim.readAllStandardOutput();
    for (const char *word : {"--device", "--access-code", "--config", "key = value", "fault split", "silent"})
        QVERIFY2(text.contains(word), word);
}

void TestSimProcess::versionNamesTheBuild()
{
    QProcess sim;
    ProcessGuard guard {sim};
    sim.start(QStringLiteral(ORBIX_SIM_PATH), {QStringLiteral("--version"), QStringLiteral("--device"),
                                              QStringLiteral("2")});
    QVERIFY(sim.waitForFinished(5000)); // prints and ends: no line is made
    QCOMPARE(sim.exitCode(), 0);
    const QRegularExpression line(QStringLiteral("^orbix-sim ")
                                  + QRegularExpression::escape(QStringLiteral(ORBIX_EXPECTED_VERSION))
                                  + QStringLiteral("( \\([0-9A-Za-z.+~-]+\\))?\n$"));
    const QString out = QString::fromLocal8Bit(sim.readAllStandardOutput());
    QVERIFY2(line.match(out).hasMatch(), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
