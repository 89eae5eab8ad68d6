// Configuration block: fields by register and the editor conversions.
#include "packettestutil.h"

#include "configchoices.h"
#include "configpacketv70.h"

#include <QtTest>

#include <functional>

namespace {

quint16 registerValue(const DataPacket &p, quint32 reg)
{
    quint16 value = 0xDEAD;
    PacketRegisters::read(p, reg, value);
    return value;
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void namedFieldsHitTheirRegister_data();
    void namedFieldsHitTheirRegister();
    void flagsReadAnyNonZero();
    void ratedCurrentToCounts_data();
    void ratedCurrentToCounts();
    void ratedCurrentShown_data();
    void ratedCurrentShown();
    void tensOfMilliseconds_data();
    void tensOfMilliseconds();
    void minCurrentCorrection_data();
    void minCurrentCorrection();
    void choiceListsMatchEditorRanges_data();
    void choiceListsMatchEditorRanges();
};

using Setter = std::function<void(ConfigPacketV70 &)>;
Q_DECLARE_METATYPE(Setter)

void TestConfig::namedFieldsHitTheirRegister_data()
{
    QTest::addColumn<Setter>("set");
    QTest::addColumn<quint32>("reg");
    QTest::addColumn<quint16>("word");

    QTest::newRow("ratedCurrent") << Setter([](ConfigPacketV70 &c) { c.setRatedCurrent(500); }) << 5u << quint16(500);
    QTest::newRow("minCurrent") << Setter([](ConfigPacketV70 &c) { c.setMinCurrent(40); }) << 6u << quint16(40);
    QTest::newRow("doubleOverloadTime") << Setter([](ConfigPacketV70 &c) { c.setDoubleOverloadTime(120); }) << 9u << quint16(120);
    QTest::newRow("fastProtection") << Setter([](ConfigPacketV70 &c) { c.setFastProtection(true); }) << 13u << quint16(1);
    QTest::newRow("overloadReactionTime") << Setter([](ConfigPacketV70 &c) { c.setOverloadReactionTime(990); }) << 14u << quint16(990);
    QTest::newRow("brokenPhasesAllowed") << Setter([](ConfigPacketV70 &c) { c.setBrokenPhasesAllowed(2); }) << 15u << quint16(2);
    QTest::newRow("pt100Threshold") << Setter([](ConfigPacketV70 &c) { c.setPt100Threshold(155); }) << 19u << quint16(155);
    QTest::newRow("cyclicPauseTime") << Setter([](ConfigPacketV70 &c) { c.setCyclicPauseTime(5940); }) << 23u << quint16(5940);
    QTest::newRow("auxOutputFunction") << Setter([](ConfigPacketV70 &c) { c.setAuxOutputFunction(7); }) << 27u << quint16(7);
    QTest::newRow("remoteControl") << Setter([](ConfigPacketV70 &c) { c.setRemoteControl(true); }) << 29u << quint16(1);
    QTest::newRow("imbalanceTripTime") << Setter([](ConfigPacketV70 &c) { c.setImbalanceTripTime(2550); }) << 30u << quint16(2550);
    QTest::newRow("minCurrentCorrection") << Setter([](ConfigPacketV70 &c) { c.setMinCurrentCorrectionWord(-20); }) << 190u << quint16(0xFFEC);
    QTest::newRow("insulationThreshold") << Setter([](ConfigPacketV70 &c) { c.setInsulationThreshold(1); }) << 191u << quint16(1);
}

void TestConfig::namedFieldsHitTheirRegister()
{
    QFETCH(Setter, set);
    QFETCH(quint32, reg);
    QFETCH(quint16, word);

    ConfigPacketV70 config;
    set(config);
    for (const RegisterRequest &r : config.requests()) {
        for (quint32 n = r.firstRegister; n < r.firstRegister + r.byteCount / 2; ++n)
            QCOMPARE(registerValue(config, n), n == reg ? word : quint16(0));
    }
}

void TestConfig::flagsReadAnyNonZero()
{
    ConfigPacket config;
    QVERIFY(setRegisters(config, {{11, 5}, {12, 0}}));
    QVERIFY(config.autoRestart());
    QVERIFY(!config.phaseSequenceCheck());
    config.setAutoRestart(true);
    QCOMPARE(registerValue(config, 11), quint16(1));
}

void TestConfig::ratedCurrentToCounts_data()
{
    QTest::addColumn<double>("amps");
    QTest::addColumn<int>("scale");
    QTest::addColumn<quint16>("counts");

    QTest::newRow("12.3 A, scale 10") << 12.3 << 10 << quint16(123);
    QTest::newRow("50 A, scale 1") << 50.0 << 1 << quint16(50);
    QTest::newRow("half rounds up") << 0.05 << 10 << quint16(1);
    // 12.499999999 rounds to 12.5 in single precision, so it is written as 13.
    QTest::newRow("single precision product") << 1.2499999999 << 10 << quint16(13);
    QTest::newRow("above the word clamps") << 10000.0 << 10 << quint16(65535);
    QTest::newRow("negative clamps to 0") << -3.0 << 10 << quint16(0);
}

void TestConfig::ratedCurrentToCounts()
{
    QFETCH(double, amps);
    QFETCH(int, scale);
    QFETCH(quint16, counts);

    ConfigPacket config;
    config.setRatedCurrentAmps(amps, scale);
    QCOMPARE(registerValue(config, 5), counts);
}

void TestConfig::ratedCurrentShown_data()
{
    QTest::addColumn<quint16>("counts");
    QTest::addColumn<int>("scale");
    QTest::addColumn<double>("amps");

    QTest::newRow("scale 10") << quint16(123) << 10 << 12.3;
    QTest::newRow("scale 1") << quint16(84) << 1 << 84.0;
    QTest::newRow("scale 0 gives 0") << quint16(123) << 0 << 0.0;
}

void TestConfig::ratedCurrentShown()
{
    QFETCH(quint16, counts);
    QFETCH(int, scale);
    QFETCH(double, amps);

    ConfigPacket config;
    QVERIFY(setRegisters(config, {{5, counts}}));
    QCOMPARE(config.ratedCurrentAmps(scale), amps);
    QCOMPARE(config.ratedCurrent(), counts);
}

void TestConfig::tensOfMilliseconds_data()
{
    QTest::addColumn<quint32>("reg");
    QTest::addColumn<quint16>("word");
    QTest::addColumn<int>("tens");
    QTest::addColumn<quint16>("writtenBack");

    QTest::newRow("reaction 505 ms") << 14u << quint16(505) << 50 << quint16(500);
    QTest::newRow("reaction 9990 ms") << 14u << quint16(9990) << 999 << quint16(9990);
    QTest::newRow("imbalance 2555 ms") << 30u << quint16(2555) << 255 << quint16(2550);
    QTest::newRow("imbalance 9 ms") << 30u << quint16(9) << 0 << quint16(0);
}

void TestConfig::tensOfMilliseconds()
{
    QFETCH(quint32, reg);
    QFETCH(quint16, word);
    QFETCH(int, tens);
    QFETCH(quint16, writtenBack);

    ConfigPacketV50 config;
    QVERIFY(setRegisters(config, {{reg, word}}));
    const int shown = reg == 14 ? config.overloadReactionTimeTens() : config.imbalanceTripTimeTens();
    QCOMPARE(shown, tens);
    if (reg == 14)
        config.setOverloadReactionTimeTens(shown);
    else
        config.setImbalanceTripTimeTens(shown);
    QCOMPARE(registerValue(config, reg), writtenBack);
}

void TestConfig::minCurrentCorrection_data()
{
    QTest::addColumn<double>("shown");
    QTest::addColumn<quint16>("word");

    QTest::newRow("-0.5") << -0.5 << quint16(0xFFFB);
    QTest::newRow("0.7") << 0.7 << quint16(7);
    QTest::newRow("-2.0") << -2.0 << quint16(0xFFEC);
    QTest::newRow("2.0") << 2.0 << quint16(20);
    QTest::newRow("0") << 0.0 << quint16(0);
}

void TestConfig::minCurrentCorrection()
{
    QFETCH(double, shown);
    QFETCH(quint16, word);

    ConfigPacketV70 written;
    written.setMinCurrentCorrection(shown);
    QCOMPARE(registerValue(written, 190), word);

    ConfigPacketV70 read; // as the next read brings it back
    QVERIFY(setRegisters(read, {{190, word}}));
    QCOMPARE(read.minCurrentCorrection(), shown);
}

void TestConfig::choiceListsMatchEditorRanges_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("highestIndex");

    QTest::newRow("voltageTolerance") << int(ConfigChoices::VoltageTolerance) << 3;
    QTest::newRow("input1Function") << int(ConfigChoices::Input1Function) << 4;
    QTest::newRow("input2Function") << int(ConfigChoices::Input2Function) << 5;
    QTest::newRow("powerOutputFunction") << int(ConfigChoices::PowerOutputFunction) << 2;
    QTest::newRow("auxOutputFunction") << int(ConfigChoices::AuxOutputFunction) << 7;
    QTest::newRow("insulationThreshold") << int(ConfigChoices::InsulationThreshold) << 1;
}

void TestConfig::choiceListsMatchEditorRanges()
{
    QFETCH(int, field);
    QFETCH(int, highestIndex);

    const auto f = ConfigChoices::Field(field);
    const QStringList texts = ConfigChoices::texts(f);
    QCOMPARE(texts.size(), highestIndex + 1);
    QStringList unique = texts;
    QCOMPARE(unique.removeDuplicates(), 0);
    QVERIFY(!ConfigChoices::text(f, highestIndex).isEmpty());
    QVERIFY(ConfigChoices::text(f, highestIndex + 1).isEmpty());
}

QTEST_APPLESS_MAIN(TestConfig)
#include "tst_config.moc"
