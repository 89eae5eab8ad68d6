// Auto-setup progress, the recorded start characteristic and the crash oscillogram.
#include "tests/device/packettestutil.h"

#include "device/crashoscillogrampacket.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"

#include <QtTest>

#include <cmath>

class TestCharacteristics : public QObject
{
    Q_OBJECT

private slots:
    void progressState_data();
    void progressState();
    void autoSetupAvailable_data();
    void autoSetupAvailable();
    void startRecordHeader();
    void startCharacteristicPoints();
    void startCharacteristicZeroScale();
    void currentLevelsAscend();
    void oscillogramHeader();
    void oscillogramSamples_data();
    void oscillogramSamples();
    void oscillogramSampleTimes();
};

void TestCharacteristics::progressState_data()
{
    QTest::addColumn<quint16>("word");
    QTest::addColumn<int>("state");

    QTest::newRow("0") << quint16(0) << 0;
    QTest::newRow("running") << quint16(1) << 1;
    QTest::newRow("finished") << quint16(2) << 2;
    QTest::newRow("3 is other") << quint16(3) << 0;
    QTest::newRow("0xFFFF is other") << quint16(0xFFFF) << 0;
}

void TestCharacteristics::progressState()
{
    QFETCH(quint16, word);
    QFETCH(int, state);

    RunConfigProgressPacket fresh;
    QCOMPARE(fresh.stateWord(), quint16(2)); // before the first read
    RunConfigProgressPacket p;
    QVERIFY(setRegisters(p, {{199, word}}));
    QCOMPARE(p.state(), state);
}

void TestCharacteristics::autoSetupAvailable_data()
{
    QTest::addColumn<quint16>("stateWord");
    QTest::addColumn<quint16>("completeness");
    QTest::addColumn<bool>("available");

    QTest::newRow("6553 is under 10 %") << quint16(0) << quint16(6553) << false;
    QTest::newRow("6554 is 10 %") << quint16(0) << quint16(6554) << true;
    QTest::newRow("finished, 10 %") << quint16(2) << quint16(6554) << true;
    QTest::newRow("running, full") << quint16(1) << quint16(65535) << false;
    QTest::newRow("unknown state, full") << quint16(9) << quint16(65535) << true;
}

void TestCharacteristics::autoSetupAvailable()
{
    QFETCH(quint16, stateWord);
    QFETCH(quint16, completeness);
    QFETCH(bool, available);

    RunConfigProgressPacket p;
    QVERIFY(setRegisters(p, {{199, stateWord}, {200, 1234}, {204, completeness}}));
    QCOMPARE(p.autoSetupAvailable(), available);
    QCOMPARE(p.accumulation(), quint16(1234));
    QCOMPARE(p.completeness(), completeness);
}

void TestCharacteristics::startRecordHeader()
{
    RunConfigPacket p(10);
    QVERIFY(setRegisters(p, {{201, 0x5678}, {202, 0x1234}, {203, 125}, {204, 40000}, {236, 77}}));
    QCOMPARE(p.recordTime(), 0x12345678u);
    QCOMPARE(p.baseCurrent(), 12.5);
    QCOMPARE(p.completeness(), quint16(40000));
    QCOMPARE(p.timeWord(31), quint16(77));
}

void TestCharacteristics::startCharacteristicPoints()
{
    RunConfigPacket p(10);
    QVERIFY(setRegisters(p, {{203, 125}}));
    CurvePoints zero = p.characteristic();
    QCOMPARE(zero.x.size(), 32);
    QCOMPARE(zero.y, QVector<double>(32, 0.001)); // all-zero times still drawable on a log axis

    QVERIFY(setRegisters(p, {{205, 150}, {215, 1}}));
    const CurvePoints points = p.characteristic();
    QCOMPARE(points.x.first(), 1.25);
    QCOMPARE(points.x.last(), 137.5);
    QCOMPARE(points.y.at(0), 1.5);
    QCOMPARE(points.y.at(10), 0.01);
    QCOMPARE(points.y.at(11), 0.001);
}

void TestCharacteristics::startCharacteristicZeroScale()
{
    RunConfigPacket p(0);
    QVERIFY(setRegisters(p, {{203, 125}}));
    QCOMPARE(p.baseCurrent(), 0.0);
    QCOMPARE(p.baseCurrentRaw(), quint16(125));
    for (double x : p.characteristic().x)
        QCOMPARE(x, 0.0);
}

void TestCharacteristics::currentLevelsAscend()
{
    const double *levels = RunConfigPacket::kCurrentLevels;
    QCOMPARE(levels[0], 0.1);
    QCOMPARE(levels[9], 1.0);
    QCOMPARE(levels[10], 1.1);
    QCOMPARE(levels[11], 1.12);
    QCOMPARE(levels[31], 11.0);
    for (int i = 12; i < RunConfigPacket::kLevels; ++i) {
        const double ratio = levels[i] / levels[i - 1];
        QVERIFY2(ratio > 1.1 && ratio < 1.14, qPrintable(QString::number(i)));
    }
}

void TestCharacteristics::oscillogramHeader()
{
    CrashOscillogramPacket p;
    QVERIFY(setRegisters(p, {{301, 0x5678}, {302, 0x1234}, {303, 31}, {304, 300}, {305, 512}}));
    QCOMPARE(p.tripTime(), 0x12345678u);
    QCOMPARE(p.faultCode(), quint16(31));
    QCOMPARE(p.currentScaleWord(), quint16(300));
    QCOMPARE(p.voltageScaleWord(), quint16(512));
}

void TestCharacteristics::oscillogramSamples_data()
{
    QTest::addColumn<quint32>("reg");
    QTest::addColumn<quint16>("raw");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("k");
    QTest::addColumn<quint16>("currentScale");
    QTest::addColumn<quint16>("voltageScale");
    QTest::addColumn<double>("value");

    QTest::newRow("current A first, scale 256") << 306u << quint16(100) << 0 << 0 << quint16(256) << quint16(1) << 100.0;
    QTest::newRow("current A last, negative") << 369u << quint16(0xFFF6) << 0 << 63 << quint16(256) << quint16(1) << -10.0;
    QTest::newRow("current B first") << 370u << quint16(3) << 1 << 0 << quint16(128) << quint16(1) << 1.5;
    QTest::newRow("current C last") << 497u << quint16(4) << 2 << 63 << quint16(640) << quint16(1) << 10.0;
    QTest::newRow("voltage A uses 305") << 498u << quint16(200) << 3 << 0 << quint16(1) << quint16(512) << 400.0;
    QTest::newRow("voltage C last, scale 256") << 689u << quint16(0x8000) << 5 << 63 << quint16(1) << quint16(256) << -32768.0;
}

void TestCharacteristics::oscillogramSamples()
{
    QFETCH(quint32, reg);
    QFETCH(quint16, raw);
    QFETCH(int, channel);
    QFETCH(int, k);
    QFETCH(quint16, currentScale);
    QFETCH(quint16, voltageScale);
    QFETCH(double, value);

    CrashOscillogramPacket p;
    QVERIFY(setRegisters(p, {{304, currentScale}, {305, voltageScale}, {reg, raw}}));
    QCOMPARE(p.rawSample(channel, k), qint16(raw));
    QCOMPARE(p.sample(channel, k), value);
    const QVector<double> values = p.channelValues(channel);
    QCOMPARE(values.size(), 64);
    QCOMPARE(values.at(k), value);
    QCOMPARE(int(std::count(values.begin(), values.end(), 0.0)), 63);
}

void TestCharacteristics::oscillogramSampleTimes()
{
    QCOMPARE(CrashOscillogramPacket::sampleTimeMs(0), -26.7);
    QCOMPARE(CrashOscillogramPacket::sampleTimeMs(63), -0.4171875);
}

QTEST_APPLESS_MAIN(TestCharacteristics)
#include "tst_characteristics.moc"
