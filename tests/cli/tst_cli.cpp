// The orbix command line as scripts use it: output lines, exit codes and the one
// line on stderr that names each failure, against the simulator on a pty.
#include "history/historycsv.h"
#include "history/historystore.h"
#include "sim/simulator.h"
#include "tests/cli/orbixhere.h"
#include "tests/programrun.h"
#include "tests/testreplygap.h"
#include "tests/testwritefailure.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

ProgramRun run(const QStringList &args, int timeoutMs = 60000, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
        const QByteArray &input = QByteArray())
{
    QProcess p;
    p.setProgram(QStringLiteral(ORBIX_CLI));
    p.setArguments(args);
    p.setProcessEnvironment(env);
    p.start();
    p.write(input);
    p.closeWriteChannel();
    return waitForProgram(p, timeoutMs);
}

// The commands that talk to a line get the shorter reply gap of the tests. Those that
// run an event loop until a signal or a count ends it (scan, monitor) run as the program;
// the rest are called in this process.
ProgramRun orbix(const QStringList &args, const QMap<QString, QString> &env = {}, const QByteArray &input = {})
{
    const QStringList lineCommands {"read", "write", "scan", "monitor", "config", "oscillogram"};
    QStringList all = args;
    if (!args.isEmpty() && lineCommands.contains(args.first()) && !args.contains("--help"))
        all << "--reply-gap" << QString::number(kTestReplyGapMs);
    if (!args.isEmpty() && (args.first() == "scan" || args.first() == "monitor"))
        return run(all);
    return orbixHere(all, env, input);
}

// The command with its stderr on a pseudo-terminal, as in an interactive shell: what
// it wrote there (empty if it did not end in time).
QByteArray stderrOnTerminal(const QStringList &args)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return {};
    QProcess p;
    p.setStandardErrorFile(QString::fromLocal8Bit(ptsname(master)));
    p.start(QStringLiteral(ORBIX_CLI), args + QStringList {"--reply-gap", QString::number(kTestReplyGapMs)});
    p.closeWriteChannel();
    QByteArray seen;
    char buffer[4096];
    const bool ended = QTest::qWaitFor([&] {
        const bool over = p.state() == QProcess::NotRunning; // then what is read next is all there is
        for (pollfd ready {master, POLLIN, 0}; poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN);) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            seen.append(buffer, int(n));
        }
        return over;
    }, 60000);
    close(master);
    return ended ? seen : QByteArray();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void readPrintsOneLinePerRegister();
    void speedWithoutTermiosConstant();
    void writeThenRead();
    void guardedWriteNeedsTheAccessCode();
    void accessCodeNeverInTheTrace_data();
    void accessCodeNeverInTheTrace();
    void failuresAreNamed_data();
    void failuresAreNamed();
    void usageErrors_data();
    void usageErrors();
    void comNameThroughABinding();
    void bindingsFileReadForComNumbersOnly_data();
    void bindingsFileReadForComNumbersOnly();
    void scanFindsTheDevices();
    void monitorStopsAfterCycles();
    void monitorShowsAmperes_data();
    void monitorShowsAmperes();
    void characteristicPrintsAllPoints();
    void configGetPrintsTheFields();
    void configGetOnASlowLine();
    void configSetWritesWhatTheFileHolds();
    void configSetStopsWithoutABackup();
    void configSetToManyDevices();
    void configSetRefusesBadFiles_data();
    void configSetRefusesBadFiles();
    void configSetNamesFieldsNotHeld_data();
    void configSetNamesFieldsNotHeld();
    void accessCodeSources_data();
    void accessCodeSources();
    void configDiff();
    void oscillogramAfterInjectedTrip();
    void oscillogramFailures_data();
    void oscillogramFailures();
    void monitorRecordsIntoHistory();
    void killedRecorderLosesOneBatchAtMost();
    void historyFailures_data();
    void historyFailures();
    void historyExportToAFullDisk();
    void historyExportSeries_data();
    void historyExportSeries();
    void gatewayRecordsAfterALockedStart();

private:
    // `orbix config ...` with its own data directory, the test's reply gap, and more.
    ProgramRun config(const QStringList &args, const QMap<QString, QString> &env = {}, const QByteArray &input = {});
    // The device's settings as `config get --json` prints them, with changes.
    QString settingsFile(const QMap<QString, QVariant> &changes);
    QStringList writesSince(int first) const;

    Simulator sim;
    QString path;
    QTemporaryDir data;
};

void TestCli::initTestCase()
{
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {3, 80, 1, 19200, 1, 50});
    sim.addDevice(SimDeviceConfig {4, 60, 0, 14400, 2, 10}); // a speed without a termios constant
    sim.addDevice(SimDeviceConfig {6, 70, 0, 600, 2, 10});   // a reply takes longer than a second
    // config set --addresses: the same as 1, another modification, one that refuses.
    sim.addDevice(SimDeviceConfig {10, 70, 0, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {11, 60, 0, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {12, 70, 0, 19200, 2, 10});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    path = sim.linkPath();
}

void TestCli::cleanupTestCase()
{
    sim.stop();
}

void TestCli::init()
{
    sim.clearFaults();
    sim.setRegisterValue(1, 5, 40); // within the device's rated range: 10..100 counts
    sim.setRegisterValue(1, 6, 25);
    sim.setRegisterValue(1, 190, 0xFFFB);
}

void TestCli::readPrintsOneLinePerRegister()
{
    const ProgramRun r = orbixHere({"read", path, "--address", "1", "1", "4"}); // the device's own 250 ms gap
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("1 2\n2 10\n3 100\n4 70\n"));
    QVERIFY(r.err.isEmpty());
}

void TestCli::speedWithoutTermiosConstant()
{
    QCOMPARE(orbix({"read", path, "--address", "4", "4"}).code, 1); // 19200: not heard
    const ProgramRun r = orbix({"read", path, "--address", "4", "--baud", "14400", "4"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("4 60\n"));
}

void TestCli::writeThenRead()
{
    QCOMPARE(orbix({"write", path, "--address", "1", "--single", "31", "2"}).code, 0);
    QCOMPARE(sim.requests().last().function, 6);
    QCOMPARE(orbix({"write", path, "--address", "3", "--format", "8O1", "37", "0x8002"}).code, 0);
    QCOMPARE(sim.requests().last().function, 16);
    QCOMPARE(sim.requests().last().values, QVector<quint16> {0x8002});
}

void TestCli::guardedWriteNeedsTheAccessCode()
{
    const quint16 before = sim.registerValue(1, 5);
    ProgramRun r = orbix({"write", path, "--address", "1", "5", QString::number(before + 1)});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.trimmed(), QString("orbix: Modbus exception 3"));
    QCOMPARE(sim.registerValue(1, 5), before);
    r = orbix({"write", path, "--address", "1", "--access-code", "1234", "5", "150"});
    QCOMPARE(r.code, 0);
    QCOMPARE(sim.registerValue(1, 5), quint16(150));
    const QVector<SimRequest> all = sim.requests();
    QCOMPARE(all[all.size() - 2].firstRegister, 32);
    QCOMPARE(all[all.size() - 2].values, QVector<quint16> {1234});
}

// With the frames trace on, the code (4321 = 10 e1) shows nowhere: neither its bytes nor
// the CRC that would give it away; the rest of the frame does.
void TestCli::accessCodeNeverInTheTrace_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("request");
    QTest::newRow("guard before a write") << QStringList {"--access-code", "4321", "5", "150"} << "01 06 00 1f ** **";
    QTest::newRow("function 6 to register 32") << QStringList {"--single", "32", "4321"} << "01 06 00 1f ** **";
    QTest::newRow("function 16 covering it") << QStringList {"31", "7", "4321"} << "01 10 00 1e 00 02 04 00 07 ** **";
}

void TestCli::accessCodeNeverInTheTrace()
{
    QFETCH(QStringList, args);
    QFETCH(QString, request);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_LOGGING_RULES", "orbix.link.frames.debug=true");
    const ProgramRun r = run(QStringList {"write", path, "--address", "1", "--reply-gap", QString::number(kTestReplyGapMs)} + args,
                      60000, env);
    QVERIFY2(r.err.contains(" TX " + request), qPrintable(r.err));
    QVERIFY2(!r.err.contains("10 e1", Qt::CaseInsensitive), qPrintable(r.err));
}

void TestCli::failuresAreNamed_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("no answer") << int(SimFault::NoReply) << "orbix: no answer";
    QTest::newRow("CRC") << int(SimFault::BadCrc) << "orbix: CRC error";
    QTest::newRow("another address") << int(SimFault::WrongAddress) << "orbix: answer from another address";
    QTest::newRow("exception") << int(SimFault::Exception) << "orbix: Modbus exception 4";
}

void TestCli::failuresAreNamed()
{
    QFETCH(int, fault);
    QFETCH(QString, message);
    sim.setFault(SimFault {SimFault::Kind(fault)}, 1);
    const ProgramRun r = orbix({"read", path, "--address", "1", "33", "17"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.trimmed(), message);
    QVERIFY(r.out.isEmpty());
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("no command") << QStringList {} << 2 << "Usage: orbix COMMAND";
    QTest::newRow("unknown option") << QStringList {"read", "--bogus"} << 2 << "bogus";
    QTest::newRow("count too large") << QStringList {"read", "/dev/null", "1", "126"} << 2 << "1-125";
    QTest::newRow("bad format") << QStringList {"read", "/dev/null", "--format", "7E1", "1"} << 2 << "frame format";
    QTest::newRow("single takes one value") << QStringList {"write", "/dev/null", "--single", "1", "2", "3"} << 2 << "exactly one";
    QTest::newRow("missing port") << QStringList {"read", "/dev/orbix-absent", "1"} << 1 << "does not exist";
    QTest::newRow("not a serial port") << QStringList {"read", "/dev/null", "1"} << 1 << "not a serial port";
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, fragment);
    const ProgramRun r = orbix(args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(fragment), qPrintable(r.err));
}

void TestCli::comNameThroughABinding()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORBIX_PORTS", "COM77=" + path);
    QTemporaryDir data;
    env.insert("ORBIX_DATA_DIR", data.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORBIX_CLI), {"read", "COM77", "--address", "1", "4"});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput(), QByteArray("4 70\n"));
    p.start(QStringLiteral(ORBIX_CLI), {"ports"});
    QVERIFY(p.waitForFinished(10000));
    QVERIFY(p.readAllStandardOutput().contains("COM77\t" + path.toUtf8()));
}

void TestCli::scanFindsTheDevices()
{
    ProgramRun r = orbix({"scan", path, "--addresses", "1-3", "--probe-timeout", "100"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("ОРБИКС-11 5.0-50.0 v0.7/1/19200/8E1/COM0\nОРБИКС-11 50-500 v0.8/3/19200/8O1/COM0\n"));
    QCOMPARE(r.err, QString("scan done: 2 device(s) found\n")); // no progress into a pipe
    // On a terminal: the progress, rewritten on one line, and the result.
    const QByteArray terminal = stderrOnTerminal({"scan", path, "--addresses", "1-3", "--probe-timeout", "100"});
    QVERIFY2(terminal.contains("\rscanning: 1/9 probes, ") && terminal.contains("\rscanning: 9/9 probes, 2 found"),
             terminal.constData());
    QVERIFY2(terminal.endsWith("scan done: 2 device(s) found\r\n"), terminal.constData());
    r = orbix({"scan", path, "--addresses", "3", "--json"});
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o.value("address").toInt(), 3);
    QCOMPARE(o.value("frameFormat").toInt(), 1);
    QCOMPARE(o.value("minRatedCurrent").toDouble(), 50.0);
    QCOMPARE(o.value("port").toString(), path);
}

void TestCli::monitorStopsAfterCycles()
{
    sim.setRegisterValue(3, 141, 0x5678); // a work log record
    sim.setRegisterValue(3, 142, 0x1234);
    sim.setRegisterValue(3, 140, 2);
    const ProgramRun r = orbix({"monitor", path, "--address", "3", "--format", "8O1", "--cycles", "3", "--json"});
    QCOMPARE(r.code, 0);
    QList<int> types;
    QJsonObject logs;
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    const QJsonObject stats = QJsonDocument::fromJson(lines.takeLast().toUtf8()).object().value("stats").toObject();
    for (const QString &line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        types << o.value("type").toInt(-1);
        if (types.last() == 5)
            logs = o;
    }
    QCOMPARE(types.first(), 1);
    QCOMPARE(types.count(0), 3);
    QCOMPARE(types.last(), 2);
    // Every type a connection printed is named in the command's help.
    const QString help = orbix({"monitor", "--help"}).out;
    for (const int type : types)
        QVERIFY2(help.contains(QString::number(type).rightJustified(4) + ' '), qPrintable(QString::number(type)));
    QVERIFY(stats.value("requests").toDouble() >= 3 * 6); // the statistics come last, once
    QCOMPARE(stats.value("replies").toDouble(), stats.value("requests").toDouble());
    QCOMPARE(stats.value("timeouts").toDouble(), 0.0);
    QJsonObject mine;
    for (const QJsonValue &record : logs.value("protocol").toArray())
        if (record.toObject().value("time").toDouble() == double(0x12345678))
            mine = record.toObject();
    QCOMPARE(mine.value("text").toString().left(14), QString("Пуск двигателя"));
    const ProgramRun bad = orbix({"monitor", path, "--address", "9", "--cycles", "1"});
    QCOMPARE(bad.code, 1);
    QVERIFY2(bad.err.contains("no answer from address 9"), qPrintable(bad.err));
}

// Registers 42..44 hold 32, 33 and 20 counts.
void TestCli::monitorShowsAmperes_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("shown"); // in the text line, or the JSON amperes

    QTest::newRow("5-50 A, 2 per ampere, JSON") << 1 << "8E1" << "[16,16.5,10]";
    QTest::newRow("5-50 A, 2 per ampere, text") << 1 << "8E1" << "| I 16.0 16.5 10.0 A |";
    QTest::newRow("1 per ampere, text") << 3 << "8O1" << "| I 32 33 20 A |";
}

void TestCli::monitorShowsAmperes()
{
    QFETCH(int, address);
    QFETCH(QString, format);
    QFETCH(QString, shown);
    const bool json = shown.startsWith('[');
    const quint16 raw[] = {32, 33, 20};
    for (int phase = 0; phase < 3; ++phase)
        sim.setRegisterValue(address, 42 + phase, raw[phase]);
    QStringList args {"monitor", path, "--address", QString::number(address), "--format", format, "--cycles", "1"};
    const ProgramRun r = orbix(json ? args << "--json" : args);
    sim.releaseRegisters(address);
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split('\n').filter(json ? "\"type\":0" : " 0 monitoring: ");
    QCOMPARE(lines.size(), 1);
    if (!json)
        QVERIFY2(lines.first().contains(shown), qPrintable(lines.first()));
    const QJsonObject o = QJsonDocument::fromJson(lines.first().toUtf8()).object();
    const auto array = [&o](const char *key) { return QJsonDocument(o.value(key).toArray()).toJson(QJsonDocument::Compact); };
    if (json) {
        QCOMPARE(QString(array("phaseCurrents")), shown);
        QCOMPARE(QString(array("phaseCurrentsRaw")), QString("[32,33,20]"));
    }
}

void TestCli::characteristicPrintsAllPoints()
{
    const ProgramRun r = orbix({"characteristic", "--rated-current", "200", "--current-scale", "2", "--min-current", "20",
                         "--overload-multiple", "5", "--double-overload-time", "30", "--fast-protection", "1",
                         "--overload-reaction-time", "100", "--broken-phases-allowed", "0"});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 107);
    QCOMPARE(lines.first(), QString("1 3600.0032969999997")); // 1 % of 100 A never trips: the cap
    QCOMPARE(lines.last(), QString("1450 0.003333"));        // fast protection in the first sample
    QCOMPARE(orbix({"characteristic", "--rated-current", "200"}).code, 2);
}

ProgramRun TestCli::config(const QStringList &args, const QMap<QString, QString> &env, const QByteArray &input)
{
    QMap<QString, QString> all {{"ORBIX_DATA_DIR", data.path()}, {"ORBIX_ACCESS_CODE", QString()}};
    all.insert(env);
    return orbix(QStringList {"config"} + args, all, input);
}

QString TestCli::settingsFile(const QMap<QString, QVariant> &changes)
{
    const ProgramRun r = config({"get", path, "--address", "1", "--json"});
    QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QJsonObject fields = o.value("fields").toObject();
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        if (it.key() == "modification")
            o.insert("modification", it.value().toInt());
        else if (it.value().isNull())
            fields.remove(it.key());
        else
            fields.insert(it.key(), QJsonValue::fromVariant(it.value()));
    }
    o.insert("fields", fields);
    const QString file = data.filePath("settings.json");
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write the settings file");
    f.write(QJsonDocument(o).toJson());
    return file;
}

// "function:register" of every write since request first.
QStringList TestCli::writesSince(int first) const
{
    QStringList out;
    const QVector<SimRequest> all = sim.requests();
    for (int i = first; i < all.size(); ++i)
        if (all[i].function != 3)
            out << QString("%1:%2").arg(all[i].function).arg(all[i].firstRegister);
    return out;
}

void TestCli::bindingsFileReadForComNumbersOnly_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("read");
    QTest::newRow("network line") << "tcp://127.0.0.1:1" << false;
    QTest::newRow("COM number") << "COM60" << true;
}

// A bindings file too large to be one: refused with a message where a COM number
// needs it, not even opened for a line named by its address.
void TestCli::bindingsFileReadForComNumbersOnly()
{
    QFETCH(QString, port);
    QFETCH(bool, read);
    QTemporaryDir dir;
    QFile conf(dir.filePath("ports.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("COM60=/dev/null\n" + QByteArray(2 * 1024 * 1024, '#'));
    conf.close();
    const ProgramRun r = orbixHere({"read", port, "--address", "1", "1"}, {{"ORBIX_DATA_DIR", dir.path()}});
    QVERIFY(r.code != 0); // nothing answers either way
    QCOMPARE(r.err.contains("larger than 1048576 bytes"), read);
}

void TestCli::configGetPrintsTheFields()
{
    ProgramRun r = config({"get", path, "--address", "1"});
    QCOMPARE(r.code, 0);
    QMap<QString, QString> text; // FIELD SHOWN, the value as the setup tab shows it
    for (const QString &line : r.out.split('\n', Qt::SkipEmptyParts))
        text.insert(line.section(' ', 0, 0), line.section(' ', 1));
    QCOMPARE(r.out.count('\n'), 28);
    QCOMPARE(r.out.section('\n', 0, 0), QString("ratedCurrent 20.0A")); // 40 counts at 2 per ampere
    const QMap<QString, QString> expected {{"minCurrent", "25%"},
                                           {"imbalanceTripTime", QString("%1 ms").arg(sim.registerValue(1, 30))},
                                           {"minCurrentCorrection", "-0.5"},
                                           {"autoRestart", "off"},
                                           {"auxOutputFunction", "Remote-controlled output"}};
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QCOMPARE(text.value(it.key()), it.value());

    r = config({"get", path, "--address", "3", "--format", "8O1"}); // modification 80, same block as 70
    QCOMPARE(r.out.count('\n'), 28);
    r = config({"get", path, "--address", "1", "--json"});
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o.value("format").toString(), QString("orbix-settings"));
    QCOMPARE(o.value("version").toInt(), 1);
    QCOMPARE(o.value("modification").toInt(), 70);
    QCOMPARE(o.value("device").toObject().value("address").toInt(), 1);
    QCOMPARE(o.value("fields").toObject().value("minCurrentCorrection").toInt(), -5);
    QVERIFY(QDateTime::fromString(o.value("saved").toString(), Qt::ISODate).isValid());
    QMap<QString, QString> shown;
    const QJsonObject shownObject = o.value("shown").toObject();
    for (auto it = shownObject.begin(); it != shownObject.end(); ++it)
        shown.insert(it.key(), it.value().toString());
    QCOMPARE(shown, text);

    // The file as printed, "shown" included, is one `config set` takes.
    QFile f(data.filePath("printed.json"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(r.out.toUtf8());
    f.close();
    r = config({"set", path, "--address", "1", "--access-code", "1234", f.fileName()});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(sim.registerValue(1, 5), quint16(40));

    r = config({"get", path, "--address", "9"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith("orbix: identification registers could not be read"), qPrintable(r.err));
}

// At 600 bit/s the settings' longest read takes more than a second: the read time-out
// follows the speed, as the data exchange's does.
void TestCli::configGetOnASlowLine()
{
    const ProgramRun r = config({"get", path, "--address", "6", "--baud", "600"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out.count('\n'), 28);
    QCOMPARE(r.out.section('\n', 0, 0), QString("ratedCurrent 20.0A")); // 40 counts at 2 per ampere
}

void TestCli::configSetWritesWhatTheFileHolds()
{
    const QString file = settingsFile({{"minCurrent", 33}, {"minCurrentCorrection", 7}});
    QDir(data.filePath("backups")).removeRecursively();
    const int first = sim.requests().size();
    const ProgramRun r = config({"set", path, "--address", "1", "--access-code", "1234", file});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(sim.registerValue(1, 6), quint16(33));
    QCOMPARE(sim.registerValue(1, 190), quint16(7));
    QCOMPARE(writesSince(first), QStringList({"6:32", "16:5", "6:32", "16:30", "6:32", "16:190"}));
    // The backup holds the device as it was before the write.
    const QStringList backups = QDir(data.filePath("backups")).entryList(QDir::Files);
    QCOMPARE(backups.size(), 1);
    QCOMPARE(r.out, "backup " + data.filePath("backups/" + backups.first()) + "\n");
    QFile b(data.filePath("backups/" + backups.first()));
    QVERIFY(b.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(b.readAll()).object().value("fields").toObject().value("minCurrent").toInt(), 25);
}

// One file to every device of a range: each with its backup and read-back, one line
// each; another modification takes what it has and is named; one that refuses fails
// the whole. In a list, an address where nothing answers is a failure.
void TestCli::configSetToManyDevices()
{
    const QString file = settingsFile({{"minCurrent", 33}});
    QDir(data.filePath("backups")).removeRecursively();
    sim.setWriteFailure(12, 6);
    ProgramRun r = config({"set", path, "--addresses", "10-13", "--access-code", "1234", file});
    QCOMPARE(r.code, 1);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].startsWith("address 10: done; backup "), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith("address 11: done; backup ") && lines[1].contains("; modification 60, the file's 70"),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith("address 12: failed: "), qPrintable(lines[2]));
    QCOMPARE(lines[3], QString("config set: 2 of 3 devices took the settings"));
    QCOMPARE(r.err, QString("orbix: 1 of 3 devices did not take the settings\n"));
    QCOMPARE(sim.registerValue(10, 6), quint16(33));
    QCOMPARE(sim.registerValue(11, 6), quint16(33));
    QCOMPARE(QDir(data.filePath("backups")).entryList(QDir::Files).size(), 3);

    sim.clearFaults();
    r = config({"set", path, "--addresses", "12,13", "--access-code", "1234", file});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.startsWith("address 12: done; backup "), qPrintable(r.out));
    QVERIFY2(r.out.contains("address 13: failed: identification registers could not be read: no answer\n"), qPrintable(r.out));
    QCOMPARE(sim.registerValue(12, 6), quint16(33));
    r = config({"set", path, "--addresses", "10-12", "--access-code", "1234", file});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.endsWith("config set: 3 of 3 devices took the settings\n"), qPrintable(r.out));
}

// A disk that takes no byte: no backup, so nothing is written to the device, and the
// command says why (the shell's file size limit; its signal ignored, as a full disk sends none).
void TestCli::configSetStopsWithoutABackup()
{
    const QString file = settingsFile({{"minCurrent", 34}});
    QDir(data.filePath("backups")).removeRecursively();
    QVERIFY(QDir().mkpath(data.filePath("backups")));
    const int first = sim.requests().size();
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("ORBIX_DATA_DIR", data.path());
    QProcess p;
    p.setProcessEnvironment(e);
    p.start("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\"", ORBIX_CLI, "config", "set", path,
                        "--address", "1", "--access-code", "1234", "--reply-gap", QString::number(kTestReplyGapMs), file});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(err.startsWith("orbix: no write without a backup: "), qPrintable(err));
    QVERIFY(p.readAllStandardOutput().isEmpty()); // no backup path named
    QVERIFY(writesSince(first).isEmpty());
    QCOMPARE(sim.registerValue(1, 6), quint16(25));
    QCOMPARE(QDir(data.filePath("backups")).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestCli::configSetRefusesBadFiles_data()
{
    QTest::addColumn<QVariantMap>("changes");
    QTest::addColumn<QString>("reason");
    // As the setup tab shows the field: device 1 holds 2 counts an ampere, 10..100 counts.
    QTest::newRow("outside the editor's range") << QVariantMap {{"overloadMultiple", 11}}
                                                << "orbix: field overloadMultiple: value 11 out of range (2..10)\n";
    QTest::newRow("rated current above the device") << QVariantMap {{"ratedCurrent", 101}}
                                                    << "orbix: field ratedCurrent: value 50.5A out of range (5.0A..50.0A)\n";
    QTest::newRow("rated current below the device") << QVariantMap {{"ratedCurrent", 8}}
                                                    << "orbix: field ratedCurrent: value 4.0A out of range (5.0A..50.0A)\n";
    QTest::newRow("seconds") << QVariantMap {{"doubleOverloadTime", 5}}
                             << "orbix: field doubleOverloadTime: value 5 s out of range (10 s..200 s)\n";
    QTest::newRow("milliseconds in tens") << QVariantMap {{"overloadReactionTime", 15}}
                                          << "orbix: field overloadReactionTime: value 15 ms out of range "
                                             "(10 ms..9990 ms, a multiple of 10 ms)\n";
    QTest::newRow("choice past its list") << QVariantMap {{"input1Function", 9}}
                                          << "orbix: field input1Function: value 9 out of range (0..4)\n";
    QTest::newRow("rule 6") << QVariantMap {{"remoteControl", 1}, {"cyclicMode", 1}}
                            << "consistency rule 6 violated: remoteControl, cyclicMode";
    QTest::newRow("rule 9") << QVariantMap {{"fastProtection", 1}, {"auxOutputFunction", 0}}
                            << "consistency rule 9 violated: fastProtection, auxOutputFunction";
    QTest::newRow("another class") << QVariantMap {{"modification", 40}} << "modification 40";
    QTest::newRow("a field missing") << QVariantMap {{"switchDelay", QVariant()}} << "missing from the file: switchDelay";
    QTest::newRow("unknown field") << QVariantMap {{"speed", 3}} << "speed";
}

void TestCli::configSetRefusesBadFiles()
{
    QFETCH(QVariantMap, changes);
    QFETCH(QString, reason);
    const QString file = settingsFile(changes);
    const int first = sim.requests().size();
    const ProgramRun r = config({"set", path, "--address", "1", "--access-code", "1234", file});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY(writesSince(first).isEmpty());

    QFile damaged(file);
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("{\"format\": \"orbix-settings\", ");
    damaged.close();
    const ProgramRun cut = config({"set", path, "--address", "1", "--access-code", "1234", file});
    QCOMPARE(cut.code, 1);
    QVERIFY2(cut.err.contains("damaged file"), qPrintable(cut.err));
}

void TestCli::configSetNamesFieldsNotHeld_data()
{
    QTest::addColumn<bool>("clamp");
    QTest::addColumn<QString>("reason");
    QTest::newRow("clamped silently") << true
                                      << "orbix: the device holds other values than written: minCurrent (written 40, held 20)";
    QTest::newRow("last item refused") << false
                                       << "orbix: write failed (Modbus exception 4); the device holds other values than "
                                          "written in: minCurrentCorrection (written 7, held -5)";
}

void TestCli::configSetNamesFieldsNotHeld()
{
    QFETCH(bool, clamp);
    QFETCH(QString, reason);
    const QString file = settingsFile({{"minCurrent", 40}, {"minCurrentCorrection", 7}});
    if (clamp)
        sim.setWriteClamp(1, 6, 20);
    else
        sim.setWriteFailure(1, 190);
    const ProgramRun r = config({"set", path, "--address", "1", "--access-code", "1234", file});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.trimmed(), reason);
}

void TestCli::accessCodeSources_data()
{
    QTest::addColumn<QStringList>("option");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("stderrStart");
    QTest::newRow("environment") << QStringList {} << "1234" << QByteArray() << 0 << "";
    const QString noCode = "orbix: no access code given: --access-code CODE, --access-code - to type it, or "
                           "$ORBIX_ACCESS_CODE\nUsage: orbix config";
    QTest::newRow("not asked of a pipe") << QStringList {} << "" << QByteArray("1234\n") << 2 << noCode;
    QTest::newRow("asked for with -") << QStringList {"--access-code", "-"} << "99" << QByteArray("1234\n") << 0
                                      << "Access code: ";
    QTest::newRow("option wins") << QStringList {"--access-code", "1234"} << "99" << QByteArray() << 0 << "";
    QTest::newRow("wrong code") << QStringList {} << "4321" << QByteArray() << 1 << "orbix: write failed";
    QTest::newRow("none") << QStringList {} << "" << QByteArray() << 2 << noCode;
    QTest::newRow("asked for with -, none") << QStringList {"--access-code", "-"} << "" << QByteArray() << 2
                                            << "Access code: " + noCode;
    QTest::newRow("not a number") << QStringList {} << "12a" << QByteArray() << 2 << "orbix: bad access code";
}

void TestCli::accessCodeSources()
{
    QFETCH(QStringList, option);
    QFETCH(QString, environment);
    QFETCH(QByteArray, typed);
    QFETCH(int, code);
    QFETCH(QString, stderrStart);
    const QString file = settingsFile({{"minCurrent", 26}});
    QMap<QString, QString> env;
    if (!environment.isEmpty())
        env.insert("ORBIX_ACCESS_CODE", environment);
    const ProgramRun r = config(QStringList {"set", path, "--address", "1"} + option + QStringList {file}, env, typed);
    QCOMPARE(r.code, code);
    QVERIFY2(stderrStart.isEmpty() ? r.err.isEmpty() : r.err.startsWith(stderrStart), qPrintable(r.err));
    QCOMPARE(sim.registerValue(1, 6), quint16(code == 0 ? 26 : 25));
    // The same sources serve `orbix write`.
    if (code == 0 && option.isEmpty() && typed.isEmpty()) {
        const ProgramRun w = orbix({"write", path, "--address", "1", "--single", "6", "27"},
                                   {{"ORBIX_ACCESS_CODE", environment}});
        QCOMPARE(w.code, 0);
        QCOMPARE(sim.registerValue(1, 6), quint16(27));
    }
    // And asked for, it needs one there too.
    if (code == 2 && option.contains("-") && typed.isEmpty()) {
        const ProgramRun w = orbix({"write", path, "--address", "1", "--access-code", "-", "--single", "6", "27"});
        QCOMPARE(w.code, 2);
        QVERIFY2(w.err.startsWith("Access code: orbix: no access code given: "), qPrintable(w.err));
        QCOMPARE(sim.registerValue(1, 6), quint16(25));
    }
}

void TestCli::configDiff()
{
    const QString same = settingsFile({});
    ProgramRun r = config({"diff", path, "--address", "1", same});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.isEmpty());
    const QString other = settingsFile({{"minCurrent", 41}, {"insulationThreshold", QVariant()}});
    r = config({"diff", path, "--address", "1", other});
    QCOMPARE(r.code, 3);
    QCOMPARE(r.out, QString("minCurrent 25 41\ninsulationThreshold %1 -\n").arg(sim.registerValue(1, 191)));
    r = config({"diff", path, "--address", "1", data.filePath("absent.json")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.count('\n'), 1);
}

// What the device stored at the trip, read as the exchange reads it, printed and written.
void TestCli::oscillogramAfterInjectedTrip()
{
    sim.injectTrip(1, 31);
    QTemporaryDir dir;
    const ProgramRun r = orbix({"oscillogram", path, "--address", "1", "--json", "--comtrade", dir.filePath("trip"), "--csv",
                         dir.filePath("trip.csv")});
    QCOMPARE(r.code, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o.value("faultCode").toInt(), 31);
    QCOMPARE(o.value("text").toString(), QString("Перегрузка по току (среднебыстродействующая защита)"));
    const quint32 trip = quint32(sim.registerValue(1, 301)) | quint32(sim.registerValue(1, 302)) << 16;
    QCOMPARE(o.value("tripTime").toDouble(), double(trip));
    QCOMPARE(o.value("currentScale").toInt(), int(sim.registerValue(1, 304)));
    const QJsonArray samples = o.value("samples").toArray();
    QCOMPARE(samples.size(), 6);
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(samples[c].toArray().size(), 64);
        for (int k = 0; k < 64; k += 21)
            QCOMPARE(samples[c].toArray()[k].toInt(), int(qint16(sim.registerValue(1, 306 + 64 * c + k))));
    }
    QFile cfg(dir.filePath("trip.cfg"));
    QVERIFY(cfg.open(QIODevice::ReadOnly));
    QCOMPARE(cfg.readLine(), QByteArray("ORBIKS-11,ORBIKS-11 5.0-50.0 v0.7/1,1999\r\n"));
    QVERIFY(QFile::exists(dir.filePath("trip.dat")));
    QFile csv(dir.filePath("trip.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 65);
    const ProgramRun text = orbix({"oscillogram", path, "--address", "1"});
    QCOMPARE(text.out.section('\n', 0, 0), QString("faultCode 31"));
    QCOMPARE(text.out.section('\n', 2, 2).section(' ', 0, 1), QString("tripTime %1").arg(trip));
}

void TestCli::oscillogramFailures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");

    QTest::newRow("fault code 0") << QStringList {"--address", "3", "--format", "8O1"} << "orbix: no oscillogram\n";
    QTest::newRow("nobody at the address") << QStringList {"--address", "9"} << "orbix: no answer from address 9";
    QTest::newRow("unwritable file") << QStringList {"--address", "1", "--csv", "/proc/no/trip.csv"}
                                     << "orbix: cannot write /proc/no/trip.csv\n";
}

void TestCli::oscillogramFailures()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    sim.injectTrip(1, 10);
    sim.setRegisterValue(3, 303, 0); // device 3 keeps no oscillogram
    const ProgramRun r = orbix(QStringList {"oscillogram", path} + args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(reason), qPrintable(r.err));
}


void TestCli::monitorRecordsIntoHistory()
{
    sim.injectTrip(1, 31);
    QTemporaryDir dir;
    const QString db = dir.filePath("h.sqlite");
    // Twice, as after a restart: the device's logs and its oscillogram are read again.
    for (int i = 0; i < 2; ++i) {
        const ProgramRun r = orbix({"monitor", path, "--address", "1", "--cycles", "3", "--record", "--db", db});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }
    const ProgramRun devices = orbixHere({"history", "devices", "--db", db, "--json"});
    QCOMPARE(devices.code, 0);
    const QJsonArray list = QJsonDocument::fromJson(devices.out.toUtf8()).array();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].toObject().value("port").toString(), path);
    QCOMPARE(list[0].toObject().value("identity").toString(), QString("5.0-50.0 v0.70"));
    const QString csvPath = dir.filePath("night.csv");
    QCOMPARE(orbixHere({"history", "export", "--address", "1", "--db", db, "--csv", csvPath}).code, 0);
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.value(0), QString("time,port,address,current_a,current_b,current_c,voltage_a,voltage_b,voltage_c,"
                                    "pt100,heating,fault_code,motor_running,inputs,outputs"));
    QCOMPARE(rows.size(), 1 + 6);
    const QStringList first = rows[1].split(',');
    QCOMPARE(first.size(), 15);
    QVERIFY2(QDateTime::fromString(first[0], Qt::ISODateWithMs).isValid() && first[0].endsWith('Z'), qPrintable(first[0]));
    QCOMPARE(first[2], QString("1"));
    const ProgramRun osc = orbixHere({"history", "oscillograms", "--address", "1", "--db", db, "--json"});
    const QJsonArray oscillograms = QJsonDocument::fromJson(osc.out.toUtf8()).array();
    QCOMPARE(oscillograms.size(), 1); // kept once, however often it was read
    QCOMPARE(oscillograms[0].toObject().value("faultCode").toInt(), 31);
    const ProgramRun events = orbixHere({"history", "events", "--address", "1", "--db", db, "--json"});
    const QJsonArray entries = QJsonDocument::fromJson(events.out.toUtf8()).array();
    const QString trip = oscillograms[0].toObject().value("tripTime").toString();
    QCOMPARE(std::count_if(entries.begin(), entries.end(), [&](const QJsonValue &e) {
                 return e.toObject().value("code").toInt() == 31 && e.toObject().value("source").toString() == "crash"
                     && e.toObject().value("time").toString() == trip;
             }), 1L); // the injected trip's record, once
    // Said from the protocol's tables (Russian: the command line has no translation), the numbers beside.
    int stops = 0;
    for (const QJsonValue &v : entries) {
        const QJsonObject e = v.toObject();
        if (e.value("source").toString() == "crash" && e.value("code").toInt() == 31) {
            QVERIFY2(e.value("text").toString().startsWith("Перегрузка по току"), qPrintable(e.value("text").toString()));
            QCOMPARE(e.value("currents").toArray().size(), 3);
            QCOMPARE(e.value("voltages").toArray().size(), 3);
        } else if (e.value("source").toString() == "work" && e.value("code").toInt() == 1) {
            QCOMPARE(e.value("text").toString(), QString("Остановка двигателя"));
            ++stops;
        }
    }
    QVERIFY(stops >= 1); // the trip stopped the motor
    QCOMPARE(orbixHere({"history", "oscillograms", "--address", "1", "--db", db, "--index", "1", "--comtrade",
                  dir.filePath("trip")}).code, 0);
    QFile cfg(dir.filePath("trip.cfg"));
    QVERIFY(cfg.open(QIODevice::ReadOnly));
    QCOMPARE(cfg.readLine(), QByteArray("ORBIKS-11,ORBIKS-11 5.0-50.0 v0.70/1,1999\r\n"));
    const ProgramRun none = orbixHere({"history", "export", "--address", "1", "--db", db, "--from", "2001-01-01T00:00:00Z", "--to",
                          "2001-01-01T03:00:00+03:00", "--csv", "-"});
    QCOMPARE(none.code, 0);
    QCOMPARE(none.out, QString(HistoryCsv::kHeader) + '\n');
}

// kill -9 while recording: the file opens clean, with every batch written before it.
void TestCli::killedRecorderLosesOneBatchAtMost()
{
    QTemporaryDir dir;
    const QString db = dir.filePath("h.sqlite");
    QProcess monitor;
    monitor.start(QStringLiteral(ORBIX_CLI), {"monitor", path, "--address", "1", "--record", "--db", db, "--reply-gap",
                                              QString::number(kTestReplyGapMs)});
    auto held = [&db] {
        const ProgramRun r = orbixHere({"history", "export", "--address", "1", "--db", db, "--csv", "-"});
        return r.code == 0 ? r.out.count('\n') - 1 : 0;
    };
    int before = 0;
    QVERIFY(QTest::qWaitFor([&] { return (before = held()) > 0; }, 20000)); // the first batch is in
    ::kill(pid_t(monitor.processId()), SIGKILL);
    QVERIFY(monitor.waitForFinished(5000));
    HistoryStore store; // a writer: recovers the journal as the next program start would
    QVERIFY2(store.open(db), qPrintable(store.error()));
    const QVector<HistoryDevice> devices = store.devices();
    QCOMPARE(devices.size(), 1);
    QVERIFY(store.samples(devices[0].id, 0, std::numeric_limits<qint64>::max()).size() >= before);
    QSqlQuery check(QSqlDatabase::database(QSqlDatabase::connectionNames().value(0)));
    QVERIFY(check.exec("PRAGMA integrity_check") && check.next());
    QCOMPARE(check.value(0).toString(), QString("ok"));
}

void TestCli::historyFailures_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    const QStringList exportCsv {"export", "--address", "1", "--csv", "-"};
    QTest::newRow("damaged") << QByteArray(4096, 'x') << exportCsv << 1 << "not a database";
    QTest::newRow("missing") << QByteArray() << exportCsv << 1 << "no such file";
    QTest::newRow("devices of a damaged file") << QByteArray(4096, 'x') << QStringList {"devices"} << 1 << "not a database";
    QTest::newRow("time without zone") << QByteArray() << QStringList {"export", "--address", "1", "--json", "--from",
                                                                      "2026-01-01T00:00:00"} << 2 << "bad --from";
    QTest::newRow("no output") << QByteArray() << QStringList {"export", "--address", "1"} << 2 << "--csv FILE or --json";
    QTest::newRow("no address") << QByteArray() << QStringList {"events"} << 2 << "--address";
    QTest::newRow("unknown") << QByteArray() << QStringList {"drop"} << 2 << "unknown history command";
    // Numbers: never read as 0, nor a negative address as none.
    QTest::newRow("index not a number") << QByteArray() << QStringList {"oscillograms", "--address", "1", "--index",
                                                                       "abc", "--csv", "o.csv"} << 2 << "bad --index 'abc'";
    QTest::newRow("index 0") << QByteArray() << QStringList {"oscillograms", "--address", "1", "--index", "0", "--csv",
                                                            "o.csv"} << 2 << "bad --index '0'";
    QTest::newRow("address not a number") << QByteArray() << QStringList {"export", "--address", "one", "--json"} << 2
                                          << "bad --address 'one'";
    QTest::newRow("address negative") << QByteArray() << QStringList {"export", "--address", "-1", "--json"} << 2
                                      << "bad --address '-1'";
    QTest::newRow("address above 247") << QByteArray() << QStringList {"events", "--address", "248"} << 2
                                       << "bad --address '248'";
    QTest::newRow("address with a tail") << QByteArray() << QStringList {"oscillograms", "--address", "1x"} << 2
                                         << "bad --address '1x'";
}

void TestCli::historyFailures()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString db = dir.filePath("h.sqlite");
    if (!file.isEmpty()) {
        QFile f(db);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    const ProgramRun r = orbixHere(QStringList {"history"} + args + QStringList {"--db", db});
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    if (code == 1)
        QCOMPARE(r.err.count('\n'), 1);
}

// Output to stdout that a full disk cuts short: a failure, not a success.
void TestCli::historyExportToAFullDisk()
{
    QTemporaryDir dir;
    const QString db = dir.filePath("h.sqlite");
    {
        HistoryStore store;
        QVERIFY2(store.open(db), qPrintable(store.error()));
        QVector<HistorySample> samples(3000);
        for (int i = 0; i < samples.size(); ++i)
            samples[i].timeMs = 1767225600000 + 1000 * i;
        QVERIFY(store.appendSamples(store.deviceId("pty", 1, "ОРБИКС-11", 2), samples));
    }
    const QStringList exportCsv {"history", "export", "--address", "1", "--db", db, "--csv", "-"};
    QCOMPARE(orbixHere(exportCsv).out.count('\n'), 3001);
    {
        // The captured stdout is a file: it may not grow past this; the database needs 32 KB.
        const WriteLimit full(64 * 1024);
        QVERIFY(full.isActive());
        const ProgramRun r = orbixHere(exportCsv);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QString("orbix: cannot write the standard output\n"));
    }
    // A device file is written as it is, never replaced by a rename (as root, the rename would succeed).
    if (QFileInfo("/dev/full").isFile())
        QSKIP("/dev/full is not the device");
    const ProgramRun device = orbixHere({"history", "export", "--db", db, "--csv", "/dev/full"});
    QCOMPARE(device.code, 1);
    QVERIFY2(device.err.startsWith("orbix: cannot write /dev/full") && device.err.count('\n') == 1, qPrintable(device.err));
    QVERIFY(!QFileInfo("/dev/full").isFile());
}

void TestCli::historyExportSeries_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("rows"); // after the header
    const QString a0 = "2026-01-01T00:00:00.000Z,A,1,1.500,0.000,0.000,380,381,382,25,10,0,1,5,2";
    const QString a2 = "2026-01-01T00:00:02.000Z,A,1,1.500,0.000,0.000,380,381,382,25,10,0,1,5,2";
    const QString b1 = "2026-01-01T00:00:01.000Z,B,1,0.250,0.000,0.000,220,0,0,-99,0,31,0,1,4";
    const QString b3 = "2026-01-01T00:00:03.000Z,B,1,0.250,0.000,0.000,220,0,0,-99,0,31,0,1,4";
    QTest::newRow("every device") << QStringList {} << QStringList {a0, a2, b1, b3};
    QTest::newRow("one address on two lines") << QStringList {"--address", "1"} << QStringList {a0, a2, b1, b3};
    QTest::newRow("one line") << QStringList {"--port", "B"} << QStringList {b1, b3};
    QTest::newRow("a period") << QStringList {"--from", "2026-01-01T00:00:01Z", "--to", "2026-01-01T03:00:02+03:00"}
                              << QStringList {a2, b1};
}

// The same address on two lines is two devices: two series, each in time order, never
// one series interleaved; the inputs and outputs follow the older columns.
void TestCli::historyExportSeries()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    const QString db = dir.filePath("h.sqlite");
    {
        HistoryStore store;
        QVERIFY2(store.open(db), qPrintable(store.error()));
        HistorySample a;
        a.currents[0] = 1.5;
        a.voltages[0] = 380, a.voltages[1] = 381, a.voltages[2] = 382;
        a.pt100 = 25, a.heating = 10, a.motorRunning = true, a.inputs = 5, a.outputs = 2;
        HistorySample b;
        b.currents[0] = 0.25;
        b.voltages[0] = 220, b.pt100 = -99, b.faultCode = 31, b.inputs = 1, b.outputs = 4;
        const qint64 t0 = 1767225600000; // 2026-01-01T00:00:00Z
        a.timeMs = t0;
        HistorySample a2 = a;
        a2.timeMs = t0 + 2000;
        b.timeMs = t0 + 1000;
        HistorySample b3 = b;
        b3.timeMs = t0 + 3000;
        QVERIFY(store.appendSamples(store.deviceId("B", 1, "5.0-50.0 v0.70", 2), {b, b3}));
        QVERIFY(store.appendSamples(store.deviceId("A", 1, "5.0-50.0 v0.70", 2), {a, a2}));
    }
    const ProgramRun r = orbixHere(QStringList {"history", "export", "--db", db, "--csv", "-"} + args);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts),
             QStringList {"time,port,address,current_a,current_b,current_c,voltage_a,voltage_b,voltage_c,pt100,heating,"
                          "fault_code,motor_running,inputs,outputs"} + rows);
}

// The history file held by another program when the gateway starts: the gateway polls
// all the same, says so once as a warning, and records once the lock is gone, saying
// that once as a notice.
void TestCli::gatewayRecordsAfterALockedStart()
{
#ifndef ORBIX_WITH_GATEWAY
    QSKIP("built without the gateway");
#else
    QTemporaryDir dir;
    const QString db = dir.filePath("history.sqlite");
    {
        HistoryStore made;
        QVERIFY2(made.open(db), qPrintable(made.error()));
    }
    const QString holderName = "gateway-lock";
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", holderName);
        holder.setDatabaseName(db);
        QVERIFY(holder.open());
        QSqlQuery hold(holder);
        QVERIFY(hold.exec("BEGIN IMMEDIATE"));
        const QJsonObject config {
            {"format", "orbix-gateway"}, {"version", 1}, {"name", "plant"},
            {"history", QJsonObject {{"db", db}}},
            {"timing", QJsonObject {{"pollPeriodMs", 100}, {"retryPeriodMs", 500}, {"replyGapMs", kTestReplyGapMs}}},
            {"lines", QJsonArray {QJsonObject {{"name", "pty"}, {"port", path}, {"addresses", QJsonArray {1}}}}}};
        QFile file(dir.filePath("gateway.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(config).toJson());
        file.close();
        // stderr as systemd hands the journal's stream to a service, so that each line
        // carries its priority as the journal reads it.
        QFile errors(dir.filePath("journal"));
        QVERIFY(errors.open(QIODevice::WriteOnly));
        errors.close();
        struct stat st {};
        QVERIFY(stat(QFile::encodeName(errors.fileName()).constData(), &st) == 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("JOURNAL_STREAM", QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino)));
        QProcess gateway;
        gateway.setProcessEnvironment(env);
        gateway.setStandardErrorFile(errors.fileName(), QIODevice::Append);
        gateway.start(QStringLiteral(ORBIX_GATEWAY), {"--config", file.fileName()});
        QVERIFY(gateway.waitForStarted());
        QByteArray log;
        auto readLog = [&] {
            QFile f(errors.fileName());
            if (f.open(QIODevice::ReadOnly))
                log = f.readAll();
        };
        auto logged = [&](const QByteArray &text) {
            return QTest::qWaitFor([&] { readLog(); return log.contains(text); }, 40000);
        };
        QVERIFY2(logged("<4>history not written: " + db.toUtf8()), log.constData());
        QVERIFY(hold.exec("ROLLBACK"));
        QVERIFY2(logged("<5>history written again into " + db.toUtf8()), log.constData());
        gateway.terminate();
        QVERIFY(gateway.waitForFinished(10000));
        readLog();
        QCOMPARE(gateway.exitCode(), 0);
        QList<QByteArray> said; // the history's lines, by priority
        for (const QByteArray &line : log.split('\n'))
            if (line.mid(3).startsWith("history"))
                said << line.left(3);
        QCOMPARE(said, (QList<QByteArray> {"<4>", "<5>"}));
    }
    QSqlDatabase::removeDatabase(holderName);
    HistoryStore store;
    QVERIFY2(store.open(db, true), qPrintable(store.error()));
    const QVector<HistoryDevice> devices = store.devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].line, QString("pty")); // the gateway names the line, not its port
    QVERIFY(!store.samples(devices[0].id, 0, std::numeric_limits<qint64>::max()).isEmpty());
#endif
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
