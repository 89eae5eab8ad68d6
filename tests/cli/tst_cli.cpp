// The orbix command line as scripts use it: output lines, exit codes and the one
// line on stderr that names each failure, against the simulator on a pty.
#include "simulator.h"
#include "testreplygap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run run(const QStringList &args, int timeoutMs = 60000, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
        const QByteArray &input = QByteArray())
{
    QProcess p;
    p.setProgram(QStringLiteral(ORBIX_CLI));
    p.setArguments(args);
    p.setProcessEnvironment(env);
    p.start();
    p.write(input);
    p.closeWriteChannel();
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The commands that talk to a line, with the shorter reply gap of the tests.
Run orbix(const QStringList &args)
{
    const QStringList lineCommands {"read", "write", "scan", "monitor", "config", "oscillogram"};
    if (args.isEmpty() || !lineCommands.contains(args.first()) || args.contains("--help"))
        return run(args);
    return run(args + QStringList {"--reply-gap", QString::number(kTestReplyGapMs)});
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
    void failuresAreNamed_data();
    void failuresAreNamed();
    void usageErrors_data();
    void usageErrors();
    void comNameThroughABinding();
    void scanFindsTheDevices();
    void monitorStopsAfterCycles();
    void characteristicPrintsAllPoints();
    void configGetPrintsTheFields();
    void configSetWritesWhatTheFileHolds();
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

private:
    // `orbix config ...` with its own data directory, the test's reply gap, and more.
    Run config(const QStringList &args, const QMap<QString, QString> &env = {}, const QByteArray &input = {});
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
    const Run r = run({"read", path, "--address", "1", "1", "4"}); // the device's own 250 ms gap
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("1 2\n2 10\n3 100\n4 70\n"));
    QVERIFY(r.err.isEmpty());
}

void TestCli::speedWithoutTermiosConstant()
{
    QCOMPARE(orbix({"read", path, "--address", "4", "4"}).code, 1); // 19200: not heard
    const Run r = orbix({"read", path, "--address", "4", "--baud", "14400", "4"});
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
    Run r = orbix({"write", path, "--address", "1", "5", QString::number(before + 1)});
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
    const Run r = orbix({"read", path, "--address", "1", "33", "17"});
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
    const Run r = orbix(args);
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
    Run r = orbix({"scan", path, "--addresses", "1-3", "--probe-timeout", "100"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("ОРБИКС-11 5.0-50.0 v0.7/1/19200/8E1/COM0\nОРБИКС-11 50-500 v0.8/3/19200/8O1/COM0\n"));
    QVERIFY2(r.err.contains("9/9 probes"), qPrintable(r.err));
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
    const Run r = orbix({"monitor", path, "--address", "3", "--format", "8O1", "--cycles", "3", "--json"});
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
    QVERIFY(stats.value("requests").toDouble() >= 3 * 6); // the statistics come last, once
    QCOMPARE(stats.value("replies").toDouble(), stats.value("requests").toDouble());
    QCOMPARE(stats.value("timeouts").toDouble(), 0.0);
    QJsonObject mine;
    for (const QJsonValue &record : logs.value("protocol").toArray())
        if (record.toObject().value("time").toDouble() == double(0x12345678))
            mine = record.toObject();
    QCOMPARE(mine.value("text").toString().left(14), QString("Пуск двигателя"));
    const Run bad = orbix({"monitor", path, "--address", "9", "--cycles", "1"});
    QCOMPARE(bad.code, 1);
    QVERIFY2(bad.err.contains("no answer from address 9"), qPrintable(bad.err));
}

void TestCli::characteristicPrintsAllPoints()
{
    const Run r = orbix({"characteristic", "--rated-current", "200", "--current-scale", "2", "--min-current", "20",
                         "--overload-multiple", "5", "--double-overload-time", "30", "--fast-protection", "1",
                         "--overload-reaction-time", "100", "--broken-phases-allowed", "0"});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 107);
    QCOMPARE(lines.first(), QString("1 3600.0032969999997")); // 1 % of 100 A never trips: the cap
    QCOMPARE(lines.last(), QString("1450 0.003333"));        // fast protection in the first sample
    QCOMPARE(orbix({"characteristic", "--rated-current", "200"}).code, 2);
}

Run TestCli::config(const QStringList &args, const QMap<QString, QString> &env, const QByteArray &input)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("ORBIX_DATA_DIR", data.path());
    e.remove("ORBIX_ACCESS_CODE");
    for (auto it = env.begin(); it != env.end(); ++it)
        e.insert(it.key(), it.value());
    return run(QStringList {"config"} + args + QStringList {"--reply-gap", QString::number(kTestReplyGapMs)}, 60000, e,
               input);
}

QString TestCli::settingsFile(const QMap<QString, QVariant> &changes)
{
    const Run r = config({"get", path, "--address", "1", "--json"});
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

void TestCli::configGetPrintsTheFields()
{
    Run r = config({"get", path, "--address", "1"});
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

void TestCli::configSetWritesWhatTheFileHolds()
{
    const QString file = settingsFile({{"minCurrent", 33}, {"minCurrentCorrection", 7}});
    QDir(data.filePath("backups")).removeRecursively();
    const int first = sim.requests().size();
    const Run r = config({"set", path, "--address", "1", "--access-code", "1234", file});
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

void TestCli::configSetRefusesBadFiles_data()
{
    QTest::addColumn<QVariantMap>("changes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("outside the editor's range") << QVariantMap {{"overloadMultiple", 11}} << "overloadMultiple";
    QTest::newRow("rated current above the device") << QVariantMap {{"ratedCurrent", 101}} << "ratedCurrent";
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
    const Run r = config({"set", path, "--address", "1", "--access-code", "1234", file});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY(writesSince(first).isEmpty());

    QFile damaged(file);
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("{\"format\": \"orbix-settings\", ");
    damaged.close();
    const Run cut = config({"set", path, "--address", "1", "--access-code", "1234", file});
    QCOMPARE(cut.code, 1);
    QVERIFY2(cut.err.contains("файл повреждён"), qPrintable(cut.err));
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
    const Run r = config({"set", path, "--address", "1", "--access-code", "1234", file});
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
    QTest::newRow("typed") << QStringList {} << "" << QByteArray("1234\n") << 0 << "Access code: ";
    QTest::newRow("asked for with -") << QStringList {"--access-code", "-"} << "99" << QByteArray("1234\n") << 0
                                      << "Access code: ";
    QTest::newRow("option wins") << QStringList {"--access-code", "1234"} << "99" << QByteArray() << 0 << "";
    QTest::newRow("wrong code") << QStringList {} << "4321" << QByteArray() << 1 << "orbix: write failed";
    QTest::newRow("none") << QStringList {} << "" << QByteArray() << 2 << "Access code: orbix: no access code given";
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
    const Run r = config(QStringList {"set", path, "--address", "1"} + option + QStringList {file}, env, typed);
    QCOMPARE(r.code, code);
    QVERIFY2(stderrStart.isEmpty() ? r.err.isEmpty() : r.err.startsWith(stderrStart), qPrintable(r.err));
    QCOMPARE(sim.registerValue(1, 6), quint16(code == 0 ? 26 : 25));
    // The same sources serve `orbix write`.
    if (code == 0 && option.isEmpty() && typed.isEmpty()) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("ORBIX_ACCESS_CODE", environment);
        const Run w = run({"write", path, "--address", "1", "--single", "6", "27", "--reply-gap",
                           QString::number(kTestReplyGapMs)}, 60000, e);
        QCOMPARE(w.code, 0);
        QCOMPARE(sim.registerValue(1, 6), quint16(27));
    }
}

void TestCli::configDiff()
{
    const QString same = settingsFile({});
    Run r = config({"diff", path, "--address", "1", same});
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
    const Run r = orbix({"oscillogram", path, "--address", "1", "--json", "--comtrade", dir.filePath("trip"), "--csv",
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
    QCOMPARE(cfg.readLine(), QByteArray("ОРБИКС-11,ОРБИКС-11 5.0-50.0 v0.7/1,1999\r\n"));
    QVERIFY(QFile::exists(dir.filePath("trip.dat")));
    QFile csv(dir.filePath("trip.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 65);
    const Run text = orbix({"oscillogram", path, "--address", "1"});
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
    const Run r = orbix(QStringList {"oscillogram", path} + args);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(reason), qPrintable(r.err));
}


QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
