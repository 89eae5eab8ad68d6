// How the simulator is told what to be: device texts, command-line options, the
// configuration file, the operator's commands, and the table of faults in force.
#include "sim/simconsole.h"
#include "sim/simfaulttable.h"
#include "sim/simoptions.h"
#include "sim/simulator.h"

#include <QtTest>

Q_DECLARE_METATYPE(SimFault::Kind)

class TestSimConfig : public QObject
{
    Q_OBJECT

private slots:
    void deviceText_data();
    void deviceText();
    void badDeviceTexts_data();
    void badDeviceTexts();
    void commandLine();
    void commandLineErrors_data();
    void commandLineErrors();
    void configFileInOrderWithOptions();
    void configFileErrorsNameTheLine();
    void faultWords_data();
    void faultWords();
    void consoleGetSetAndLog();
    void consoleMotorCommands();
    void faultTableCountsAndPrecedence();
    void silentFaultEndsByTime();
};

void TestSimConfig::deviceText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("format");
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("range");
    QTest::newRow("address only") << "1" << 1 << 70 << 0 << 19200u << 2 << 10;
    QTest::newRow("all fields") << "2:80:8O1:9600:scale=1:range=50" << 2 << 80 << 1 << 9600u << 1 << 50;
    QTest::newRow("label in lower case") << "3:60:8n2" << 3 << 60 << 3 << 19200u << 2 << 10;
    QTest::newRow("format code") << "4:40:2:38400" << 4 << 40 << 2 << 38400u << 2 << 10;
    QTest::newRow("setting without the rest") << "247:range=84" << 247 << 70 << 0 << 19200u << 2 << 84;
    QTest::newRow("slowest speed") << "5:70:8E1:600" << 5 << 70 << 0 << 600u << 2 << 10;
    QTest::newRow("hears every format") << "6:70:8E1:formats=any" << 6 << 70 << 0 << 19200u << 2 << 10;
}

void TestSimConfig::deviceText()
{
    QFETCH(QString, text);
    SimDeviceConfig c;
    QString error;
    QVERIFY2(SimOptions::parseDevice(text, c, error), qPrintable(error));
    QTEST(c.address, "address");
    QTEST(c.modification, "modification");
    QTEST(c.frameFormat, "format");
    QTEST(c.baudRate, "baud");
    QTEST(int(c.currentScale), "scale");
    QTEST(int(c.ratedMinCounts), "range");
    QCOMPARE(c.anyFormat, text.contains("formats=any"));
}

void TestSimConfig::badDeviceTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("address 0") << "0";
    QTest::newRow("address 248") << "248";
    QTest::newRow("not a number") << "one";
    QTest::newRow("unknown format") << "1:70:8X1";
    QTest::newRow("format code 4") << "1:70:4";
    QTest::newRow("speed the device lacks") << "1:70:8E1:14401";
    QTest::newRow("fifth field") << "1:70:8E1:9600:5";
    QTest::newRow("scale 0") << "1:70:8E1:9600:scale=0";
    QTest::newRow("unknown setting") << "1:70:8E1:9600:colour=red";
    QTest::newRow("formats other than any") << "1:70:8E1:formats=8O1";
    QTest::newRow("no address") << "scale=2";
}

void TestSimConfig::badDeviceTexts()
{
    QFETCH(QString, text);
    SimDeviceConfig c;
    QString error;
    QVERIFY(!SimOptions::parseDevice(text, c, error));
    QVERIFY(!error.isEmpty());
}

void TestSimConfig::commandLine()
{
    SimOptions o;
    QVERIFY(o.effectiveDevices().size() == 1 && o.effectiveDevices().first().address == 1);
    const QStringList args = {QStringLiteral("--device"), QStringLiteral("1"), QStringLiteral("--device=2:80"),
                              QStringLiteral("--access-code"), QStringLiteral("0042"), QStringLiteral("--turnaround=0"),
                              QStringLiteral("--link"), QStringLiteral("/tmp/line"), QStringLiteral("--fault"),
                              QStringLiteral("bad-crc 3 1"), QStringLiteral("--seed=77")};
    QVERIFY2(o.parse(args), qPrintable(o.errorString()));
    QCOMPARE(o.devices.size(), 2);
    QCOMPARE(o.devices[1].modification, 80);
    QCOMPARE(o.accessCode, quint16(42)); // decimal, not octal
    QCOMPARE(o.turnaroundMs, 0);
    QCOMPARE(o.linkPath, QStringLiteral("/tmp/line"));
    QCOMPARE(o.faults, QStringList {QStringLiteral("bad-crc 3 1")});
    QCOMPARE(o.seed, 77u);
    QVERIFY(!o.help);
    QVERIFY(o.parse({QStringLiteral("-h")}) && o.help);
}

void TestSimConfig::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("missing value") << QStringList {QStringLiteral("--device")} << "--device";
    QTest::newRow("unknown option") << QStringList {QStringLiteral("--colour=red")} << "colour";
    QTest::newRow("positional") << QStringList {QStringLiteral("line")} << "line";
    QTest::newRow("code too large") << QStringList {QStringLiteral("--access-code"), QStringLiteral("70000")} << "70000";
    QTest::newRow("negative turnaround") << QStringList {QStringLiteral("--turnaround=-1")} << "-1";
    QTest::newRow("missing file") << QStringList {QStringLiteral("--config=/nonexistent/sim.conf")} << "/nonexistent";
}

void TestSimConfig::commandLineErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    SimOptions o;
    QVERIFY(!o.parse(args));
    QVERIFY2(o.errorString().contains(mentions), qPrintable(o.errorString()));
}

void TestSimConfig::configFileInOrderWithOptions()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("# two devices\n"
               "device = 1:70:8E1:19200\n"
               "  device=2:80:8O1:9600:scale=1:range=50   # the second\n"
               "\n"
               "access-code = 4321\n"
               "fault = no-reply all 2\n");
    file.close();
    SimOptions o;
    const QStringList args = {QStringLiteral("--access-code=1"), QStringLiteral("--config"), file.fileName(),
                              QStringLiteral("--turnaround"), QStringLiteral("9")};
    QVERIFY2(o.parse(args), qPrintable(o.errorString()));
    QCOMPARE(o.devices.size(), 2);
    QCOMPARE(o.devices[1].frameFormat, 1);
    QCOMPARE(o.devices[1].ratedMinCounts, quint16(50));
    QCOMPARE(o.accessCode, quint16(4321)); // the file came after the option
    QCOMPARE(o.turnaroundMs, 9);
    QCOMPARE(o.faults, QStringList {QStringLiteral("no-reply all 2")});
}

void TestSimConfig::configFileErrorsNameTheLine()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write("device = 1\n# fine so far\ndevice 2\n");
    file.close();
    SimOptions o;
    QVERIFY(!o.readConfigFile(file.fileName()));
    QVERIFY2(o.errorString().startsWith(file.fileName() + QStringLiteral(":3:")), qPrintable(o.errorString()));
}

void TestSimConfig::faultWords_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<SimFault::Kind>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("address");
    const auto none = SimFault::None;
    QTest::newRow("no-reply") << "no-reply" << true << SimFault::NoReply << 4 << 0 << -1 << 0;
    QTest::newRow("no-reply 3") << "no-reply 3" << true << SimFault::NoReply << 4 << 0 << 3 << 0;
    QTest::newRow("all, one address") << "no-reply all 5" << true << SimFault::NoReply << 4 << 0 << -1 << 5;
    QTest::newRow("bad-crc 2 7") << "bad-crc 2 7" << true << SimFault::BadCrc << 4 << 0 << 2 << 7;
    QTest::newRow("wrong-address") << "wrong-address -1 0" << true << SimFault::WrongAddress << 4 << 0 << -1 << 0;
    QTest::newRow("exception 6 1 3") << "exception 6 1 3" << true << SimFault::Exception << 6 << 0 << 1 << 3;
    QTest::newRow("split 400") << "split 400" << true << SimFault::SplitReply << 4 << 400 << -1 << 0;
    QTest::newRow("silent 2.5 4") << "silent 2.5 4" << true << SimFault::Silent << 4 << 2500 << -1 << 4;
    QTest::newRow("exception without code") << "exception" << false << none << 0 << 0 << 0 << 0;
    QTest::newRow("split without pause") << "split x" << false << none << 0 << 0 << 0 << 0;
    QTest::newRow("count 0") << "no-reply 0" << false << none << 0 << 0 << 0 << 0;
    QTest::newRow("silent without time") << "silent" << false << none << 0 << 0 << 0 << 0;
    QTest::newRow("silent with a count") << "silent 1 2 3" << false << none << 0 << 0 << 0 << 0;
    QTest::newRow("unknown kind") << "frobnicate" << false << none << 0 << 0 << 0 << 0;
    QTest::newRow("one word too many") << "no-reply 1 2 3" << false << none << 0 << 0 << 0 << 0;
    QTest::newRow("address 248") << "no-reply 1 248" << false << none << 0 << 0 << 0 << 0;
}

void TestSimConfig::faultWords()
{
    QFETCH(QString, words);
    QFETCH(bool, ok);
    SimConsole::FaultOrder order;
    QString error;
    QCOMPARE(SimConsole::parseFault(words.split(QLatin1Char(' ')), order, error), ok);
    if (!ok)
        return;
    QTEST(order.fault.kind, "kind");
    QTEST(order.fault.exceptionCode, "code");
    QTEST(order.fault.pauseMs, "pauseMs");
    QTEST(order.count, "count");
    QTEST(order.address, "address");
}

void TestSimConfig::consoleGetSetAndLog()
{
    Simulator sim;
    SimDeviceConfig c;
    c.address = 3;
    sim.addDevice(c);
    SimConsole console(sim);
    QCOMPARE(console.execute(QStringLiteral("set 3 9 0x20 33")), QStringLiteral("ok\n"));
    QCOMPARE(console.execute(QStringLiteral("  get 3 9 2 ")), QStringLiteral("9 = 32 (0x0020)\n10 = 33 (0x0021)\n"));
    QCOMPARE(console.execute(QStringLiteral("set 3 190 -5")), QStringLiteral("ok\n"));
    QCOMPARE(sim.registerValue(3, 190), quint16(0xFFFB));
    QVERIFY(console.execute(QStringLiteral("get 3")).startsWith(QStringLiteral("usage")));
    QVERIFY(console.execute(QStringLiteral("set 3 9 70000")).startsWith(QStringLiteral("usage")));
    QVERIFY(console.execute(QStringLiteral("fault exception")).startsWith(QStringLiteral("usage")));
    QCOMPARE(console.execute(QStringLiteral("silent 1")), QStringLiteral("ok\n"));
    QCOMPARE(console.execute(QStringLiteral("log")), QStringLiteral("no requests\n"));
    QVERIFY(console.execute(QStringLiteral("jump")).contains(QStringLiteral("unknown command")));
    QVERIFY(console.execute(QStringLiteral("help")).contains(QStringLiteral("fault split MS")));
    QCOMPARE(console.execute(QString()), QString());
}

void TestSimConfig::consoleMotorCommands()
{
    Simulator sim;
    SimDeviceConfig c;
    c.address = 2;
    sim.addDevice(c);
    SimConsole console(sim);
    QCOMPARE(console.execute(QStringLiteral("trip 2 62")), QStringLiteral("ok\n"));
    QCOMPARE(sim.registerValue(2, 303), quint16(62));
    QCOMPARE(sim.registerValue(2, 50), quint16(62));
    QCOMPARE(console.execute(QStringLiteral("set 2 41 999")), QStringLiteral("ok\n"));
    QCOMPARE(sim.registerValue(2, 41), quint16(999));
    QCOMPARE(console.execute(QStringLiteral("release 2")), QStringLiteral("ok\n"));
    QVERIFY(sim.registerValue(2, 41) < 100);
    QCOMPARE(console.execute(QStringLiteral("load 2 150")), QStringLiteral("ok\n"));
    for (const char *bad : {"trip 2", "trip 2 0", "load 2 1001", "load 300 50", "release", "release 2 3"})
        QVERIFY2(console.execute(QString::fromLatin1(bad)).startsWith(QStringLiteral("usage")), bad);
}

void TestSimConfig::faultTableCountsAndPrecedence()
{
    SimFaultTable table;
    SimFault line;
    line.kind = SimFault::NoReply;
    SimFault own;
    own.kind = SimFault::Exception;
    table.set(line, -1, 0, 0);
    table.set(own, 2, 3, 0);
    QCOMPARE(table.take(3, 0).kind, SimFault::Exception); // the device's own first
    QCOMPARE(table.take(4, 0).kind, SimFault::NoReply);
    QCOMPARE(table.take(3, 0).kind, SimFault::Exception);
    QCOMPARE(table.take(3, 0).kind, SimFault::NoReply); // used up: the line's applies again
    own.kind = SimFault::BadCrc;
    table.set(own, 1, 0, 0); // replaces the line's fault
    QCOMPARE(table.take(9, 0).kind, SimFault::BadCrc);
    QCOMPARE(table.take(9, 0).kind, SimFault::None);
    QVERIFY(table.isEmpty());
    table.set(line, -1, 5, 0);
    table.clear();
    QCOMPARE(table.take(5, 0).kind, SimFault::None);
}

void TestSimConfig::silentFaultEndsByTime()
{
    SimFaultTable table;
    SimFault silent;
    silent.kind = SimFault::Silent;
    silent.pauseMs = 1000;
    table.set(silent, 1, 2, 5000); // a count means nothing to it
    QCOMPARE(table.take(2, 5000).kind, SimFault::Silent);
    QCOMPARE(table.take(2, 5999).kind, SimFault::Silent);
    QCOMPARE(table.take(1, 5500).kind, SimFault::None);
    QCOMPARE(table.take(2, 6000).kind, SimFault::None);
    QVERIFY(table.isEmpty());
}

QTEST_GUILESS_MAIN(TestSimConfig)
#include "tst_simconfig.moc"
