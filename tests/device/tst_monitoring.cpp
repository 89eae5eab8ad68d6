// Decoding of the monitoring block.
#include "tests/device/packettestutil.h"

#include "device/currentscale.h"
#include "device/faulttext.h"
#include "device/watchdatapacket80.h"

#include <QtTest>

class TestMonitoring : public QObject
{
    Q_OBJECT

private slots:
    void fieldsByRegister_data();
    void fieldsByRegister();
    void thirtyTwoBitFields();
    void pt100Sentinels_data();
    void pt100Sentinels();
    void outputState_data();
    void outputState();
    void alarmText_data();
    void alarmText();
    void currentsInAmperes_data();
    void currentsInAmperes();
};

void TestMonitoring::fieldsByRegister_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<quint32>("reg");
    QTest::addColumn<quint16>("raw");
    QTest::addColumn<int>("decoded");

    QTest::newRow("heating") << QStringLiteral("heating") << 33u << quint16(87) << 87;
    QTest::newRow("fault code") << QStringLiteral("fault") << 34u << quint16(31) << 31;
    QTest::newRow("inputs") << QStringLiteral("inputs") << 36u << quint16(2) << 2;
    QTest::newRow("outputs") << QStringLiteral("outputs") << 37u << quint16(0x8001) << 0x8001;
    QTest::newRow("motor stopped") << QStringLiteral("running") << 38u << quint16(0) << 0;
    QTest::newRow("motor running, any non-zero") << QStringLiteral("running") << 38u << quint16(7) << 1;
    QTest::newRow("ptc overheat") << QStringLiteral("ptc") << 39u << quint16(2) << 2;
    QTest::newRow("humidity water") << QStringLiteral("humidity") << 40u << quint16(2) << 2;
    QTest::newRow("pt100 -10 C") << QStringLiteral("pt100") << 41u << quint16(0xFFF6) << -10;
    QTest::newRow("current A") << QStringLiteral("currentA") << 42u << quint16(1201) << 1201;
    QTest::newRow("current C") << QStringLiteral("currentC") << 44u << quint16(1203) << 1203;
    QTest::newRow("voltage A") << QStringLiteral("voltageA") << 45u << quint16(380) << 380;
    QTest::newRow("voltage C") << QStringLiteral("voltageC") << 47u << quint16(379) << 379;
    QTest::newRow("motor hours") << QStringLiteral("hours") << 170u << quint16(54321) << 54321;
}

void TestMonitoring::fieldsByRegister()
{
    QFETCH(QString, field);
    QFETCH(quint32, reg);
    QFETCH(quint16, raw);
    QFETCH(int, decoded);

    WatchDataPacket p;
    QVERIFY(setRegisters(p, {{reg, raw}}));
    const QHash<QString, int> values = {
        {QStringLiteral("heating"), p.calculatedHeating()}, {QStringLiteral("fault"), p.faultCode()},
        {QStringLiteral("inputs"), p.inputs()}, {QStringLiteral("outputs"), p.outputs()},
        {QStringLiteral("running"), p.motorRunning()}, {QStringLiteral("ptc"), p.ptcState()},
        {QStringLiteral("humidity"), p.humidityState()}, {QStringLiteral("pt100"), p.pt100Temperature()},
        {QStringLiteral("currentA"), p.phaseCurrent(0)}, {QStringLiteral("currentC"), p.phaseCurrent(2)},
        {QStringLiteral("voltageA"), p.phaseVoltage(0)}, {QStringLiteral("voltageC"), p.phaseVoltage(2)},
        {QStringLiteral("hours"), p.motorHours()}};
    QVERIFY(values.contains(field));
    QCOMPARE(values.value(field), decoded);
}

void TestMonitoring::thirtyTwoBitFields()
{
    WatchDataPacket80 p;
    QVERIFY(setRegisters(p, {{48, 0x5678}, {49, 0x1234}, {171, 0xBEEF}, {172, 0x0001}}));
    QCOMPARE(p.deviceTime(), 0x12345678u);
    QCOMPARE(p.startCount(), 0x0001BEEFu);
}

void TestMonitoring::pt100Sentinels_data()
{
    QTest::addColumn<quint16>("raw");
    QTest::addColumn<int>("celsius");
    QTest::addColumn<bool>("shorted");
    QTest::addColumn<bool>("open");

    QTest::newRow("short circuit") << quint16(0xFF9D) << -99 << true << false;
    QTest::newRow("open") << quint16(0x03E7) << 999 << false << true;
    QTest::newRow("minus ten") << quint16(0xFFF6) << -10 << false << false;
    QTest::newRow("normal") << quint16(75) << 75 << false << false;
}

void TestMonitoring::pt100Sentinels()
{
    QFETCH(quint16, raw);
    QFETCH(int, celsius);
    QFETCH(bool, shorted);
    QFETCH(bool, open);

    WatchDataPacket p;
    QVERIFY(setRegisters(p, {{41, raw}}));
    QCOMPARE(int(p.pt100Temperature()), celsius);
    QCOMPARE(p.pt100Shorted(), shorted);
    QCOMPARE(p.pt100Open(), open);
}

void TestMonitoring::outputState_data()
{
    QTest::addColumn<quint16>("outputs");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("state");

    QTest::newRow("stop permitted only: power") << quint16(0x8000) << 0 << false;
    QTest::newRow("stop permitted only: aux") << quint16(0x8000) << 1 << false;
    QTest::newRow("stop permitted only: stop") << quint16(0x8000) << 2 << true;
    QTest::newRow("power on") << quint16(0x0001) << 0 << true;
    QTest::newRow("aux on") << quint16(0x0002) << 1 << true;
    QTest::newRow("aux bit is not stop") << quint16(0x0002) << 2 << false;
    QTest::newRow("index 3, all bits") << quint16(0xFFFF) << 3 << false;
    QTest::newRow("index -1, all bits") << quint16(0xFFFF) << -1 << false;
}

void TestMonitoring::outputState()
{
    QFETCH(quint16, outputs);
    QFETCH(int, index);
    QFETCH(bool, state);

    WatchDataPacket p;
    QVERIFY(setRegisters(p, {{37, outputs}}));
    QCOMPARE(p.outputState(index), state);
}

void TestMonitoring::alarmText_data()
{
    QTest::addColumn<quint16>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("no alarm") << quint16(0) << QStringLiteral("АВАРИЙ НЕТ");
    QTest::newRow("short circuit") << quint16(30) << QStringLiteral("Короткое замыкание (быстродействующая защита)");
    QTest::newRow("unknown code is empty, not no-alarm") << quint16(71) << QString();
}

void TestMonitoring::alarmText()
{
    QFETCH(quint16, code);
    QFETCH(QString, text);

    WatchDataPacket p;
    QVERIFY(setRegisters(p, {{34, code}}));
    QCOMPARE(p.alarmText(), text);
}

// Registers 42..44 in counts; register 1 gives the counts per ampere.
void TestMonitoring::currentsInAmperes_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<quint16>("counts");
    QTest::addColumn<double>("amperes");
    QTest::addColumn<QString>("text");

    QTest::newRow("5-50 A device at 16 A") << 2 << quint16(32) << 16.0 << "16.0";
    QTest::newRow("scale 2, half ampere") << 2 << quint16(33) << 16.5 << "16.5";
    QTest::newRow("scale 1: whole amperes") << 1 << quint16(120) << 120.0 << "120";
    QTest::newRow("scale 10: tenths") << 10 << quint16(123) << 12.3 << "12.3";
    QTest::newRow("scale 100: still one decimal") << 100 << quint16(1234) << 12.34 << "12.3";
    QTest::newRow("scale 3 rounds the text only") << 3 << quint16(1) << 1.0 / 3 << "0.3";
    QTest::newRow("scale 0: no scale, 0 A") << 0 << quint16(500) << 0.0 << "0";
    QTest::newRow("negative scale taken as none") << -2 << quint16(500) << 0.0 << "0";
    QTest::newRow("largest word") << 2 << quint16(65535) << 32767.5 << "32767.5";
}

void TestMonitoring::currentsInAmperes()
{
    QFETCH(int, scale);
    QFETCH(quint16, counts);
    QFETCH(double, amperes);

    WatchDataPacket p;
    QVERIFY(setRegisters(p, {{43u, counts}}));
    const CurrentScale s(scale);
    QCOMPARE(p.phaseCurrent(1), counts); // the raw word is kept
    QCOMPARE(p.phaseCurrentAmperes(1, s), amperes);
    QCOMPARE(p.phaseCurrentAmperes(0, s), 0.0);
    QTEST(s.text(p.phaseCurrentAmperes(1, s)), "text");
    QCOMPARE(s.text(amperes, 6).size(), qMax(6, s.text(amperes).size())); // right-aligned for the legend
}

QTEST_APPLESS_MAIN(TestMonitoring)
#include "tst_monitoring.moc"
