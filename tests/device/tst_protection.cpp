// The protection simulation and the time-current characteristic built from it.
#include "device/configpacketv70.h"
#include "device/protectioncharacteristic.h"
#include "device/triptimesolver.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(ProtectionSettings)

namespace {

constexpr quint32 kCap = 3600003297u;

ProtectionSettings settings(quint16 minCurrent, quint16 multiple, quint16 doubleTime, bool fast,
                            quint16 reactionMs, quint16 brokenAllowed)
{
    ProtectionSettings s;
    s.ratedCurrent = 123;
    s.minCurrent = minCurrent;
    s.overloadMultiple = multiple;
    s.doubleOverloadTime = doubleTime;
    s.fastProtection = fast;
    s.overloadReactionTime = reactionMs;
    s.brokenPhasesAllowed = brokenAllowed;
    return s;
}

// Only the thermal image can trip: overload above 1000 %, no fast, no broken phases.
ProtectionSettings thermalOnly(quint16 doubleTime)
{
    return settings(1, 10, doubleTime, false, 9990, 3);
}

// Cycles (three samples each) of the given phase currents; returns the cycle that tripped, or 0.
int runCycles(ProtectionModel &model, int cycles, quint16 a, quint16 b, quint16 c)
{
    for (int n = 1; n <= cycles; ++n) {
        model.sample(0, a);
        model.sample(1, b);
        model.sample(2, c);
        if (model.tripped())
            return n;
    }
    return 0;
}

} // namespace

class TestProtection : public QObject
{
    Q_OBJECT

private slots:
    void tripTime_data();
    void tripTime();
    void fastThresholdIsTheOnlyFastTrip();
    void overloadCounterCountsDown();
    void runningDetection_data();
    void runningDetection();
    void settingsFromConfig();
    void characteristic();
    void characteristicZeroScaleAndStop();
    void solverMatchesEveryPointOfTheReference_data();
    void solverMatchesEveryPointOfTheReference();
    void solverMatchesTheReferenceOnRandomSettings();
};

void TestProtection::tripTime_data()
{
    QTest::addColumn<ProtectionSettings>("s");
    QTest::addColumn<quint16>("current");
    QTest::addColumn<quint32>("us");

    QTest::newRow("fast trip in the first sample") << settings(20, 10, 30, true, 9990, 0) << quint16(10645) << 3333u;
    QTest::newRow("overload at the 50th cycle") << settings(20, 2, 200, false, 500, 0) << quint16(2010) << 499950u;
    QTest::newRow("reaction under 10 ms: first cycle") << settings(20, 2, 200, false, 5, 0) << quint16(2010) << 9999u;
    QTest::newRow("rated current runs to the cap") << settings(20, 2, 30, true, 500, 0) << quint16(1000) << kCap;
    QTest::newRow("too low to run: no broken phase") << settings(30, 5, 30, false, 500, 0) << quint16(80) << kCap;
    // Running is detected at phase C of cycle 11, whose broken-phase step then already
    // counts: C reaches 100 at cycle 110 (sample 330), A and B at cycle 111 (331, 332).
    QTest::newRow("broken, none allowed") << settings(30, 5, 30, false, 500, 0) << quint16(200) << 330u * 3333;
    QTest::newRow("broken, one allowed") << settings(30, 5, 30, false, 500, 1) << quint16(200) << 331u * 3333;
    QTest::newRow("broken, two allowed") << settings(30, 5, 30, false, 500, 2) << quint16(200) << 332u * 3333;
    QTest::newRow("broken, three allowed") << settings(30, 5, 30, false, 500, 3) << quint16(200) << kCap;
    // Sample counts from an independent single-precision simulation of the thermal image.
    // Keeping the state in double gives 109344 and 448840 samples for the first two;
    // double arithmetic on a single-precision state gives 539183 for the third.
    QTest::newRow("thermal 1060, 30 s") << thermalOnly(30) << quint16(1060) << 109372u * 3333;
    QTest::newRow("thermal 1100, 200 s") << thermalOnly(200) << quint16(1100) << 449494u * 3333;
    QTest::newRow("thermal 1080, 200 s") << thermalOnly(200) << quint16(1080) << 539182u * 3333;
    QTest::newRow("thermal 2000, 200 s") << thermalOnly(200) << quint16(2000) << 60013u * 3333;
    QTest::newRow("thermal 3000, 10 s") << thermalOnly(10) << quint16(3000) << 1217u * 3333;
}

void TestProtection::tripTime()
{
    QFETCH(ProtectionSettings, s);
    QFETCH(quint16, current);
    QFETCH(quint32, us);

    ProtectionModel model(s);
    QCOMPARE(model.tripTime(current), us);
    QCOMPARE(model.tripped(), us != kCap);
}

void TestProtection::fastThresholdIsTheOnlyFastTrip()
{
    ProtectionModel fast(settings(20, 10, 30, true, 9990, 0));
    ProtectionModel slow(settings(20, 10, 30, false, 9990, 0));
    const quint32 below = fast.tripTime(10640);
    QVERIFY(below > 3333);
    QCOMPARE(below, slow.tripTime(10640));
    QVERIFY(slow.tripTime(10645) > 3333);
}

void TestProtection::overloadCounterCountsDown()
{
    ProtectionModel model(settings(20, 2, 200, false, 500, 3));
    model.reset();
    QCOMPARE(runCycles(model, 30, 2010, 2010, 2010), 0);
    QCOMPARE(model.overloadCounter(), quint16(30));
    QCOMPARE(runCycles(model, 10, 1000, 1000, 1000), 0);
    QCOMPARE(model.overloadCounter(), quint16(20));
    // One phase above the threshold is enough.
    QCOMPARE(runCycles(model, 40, 2010, 1000, 1000), 30);
    QCOMPARE(model.overloadCounter(), quint16(0));
}

void TestProtection::runningDetection_data()
{
    QTest::addColumn<int>("warmUpCycles"); // cycles at 200 per mille before the currents below
    QTest::addColumn<int>("cycles");
    QTest::addColumn<quint16>("a");
    QTest::addColumn<quint16>("b");
    QTest::addColumn<quint16>("c");
    QTest::addColumn<bool>("running");

    QTest::newRow("10 cycles: not yet") << 0 << 10 << quint16(200) << quint16(200) << quint16(200) << false;
    QTest::newRow("11 cycles: running") << 0 << 11 << quint16(200) << quint16(200) << quint16(200) << true;
    QTest::newRow("all three above 89") << 0 << 11 << quint16(90) << quint16(90) << quint16(90) << true;
    QTest::newRow("all three at 89") << 0 << 11 << quint16(89) << quint16(89) << quint16(89) << false;
    QTest::newRow("two above 119") << 0 << 11 << quint16(120) << quint16(120) << quint16(0) << true;
    QTest::newRow("one above 119") << 0 << 11 << quint16(120) << quint16(0) << quint16(0) << false;
    QTest::newRow("one above 149") << 0 << 11 << quint16(0) << quint16(0) << quint16(150) << true;
    QTest::newRow("running: 88 still shows current") << 30 << 40 << quint16(88) << quint16(88) << quint16(88) << true;
    QTest::newRow("running: 10 low cycles keep it") << 30 << 10 << quint16(0) << quint16(0) << quint16(0) << true;
    QTest::newRow("running: 11 low cycles stop it") << 30 << 11 << quint16(0) << quint16(0) << quint16(0) << false;
}

void TestProtection::runningDetection()
{
    QFETCH(int, warmUpCycles);
    QFETCH(int, cycles);
    QFETCH(quint16, a);
    QFETCH(quint16, b);
    QFETCH(quint16, c);
    QFETCH(bool, running);

    ProtectionModel model(settings(0, 10, 200, false, 9990, 3));
    model.reset();
    QCOMPARE(runCycles(model, warmUpCycles, 200, 200, 200), 0);
    QCOMPARE(runCycles(model, cycles, a, b, c), 0);
    QCOMPARE(model.motorRunning(), running);
}

void TestProtection::settingsFromConfig()
{
    ConfigPacketV70 config;
    using F = ConfigFields;
    const std::pair<F::Id, int> fields[] = {{F::RatedCurrent, 456}, {F::MinCurrent, 25}, {F::OverloadMultiple, 4},
                                            {F::DoubleOverloadTime, 60}, {F::FastProtection, 1},
                                            {F::OverloadReactionTime, 250}, {F::BrokenPhasesAllowed, 2}};
    for (const auto &field : fields)
        QVERIFY(F::setValue(config, field.first, field.second));
    const ProtectionSettings s = ProtectionSettings::fromConfig(config);
    QCOMPARE(s.ratedCurrent, quint16(456));
    QCOMPARE(s.minCurrent, quint16(25));
    QCOMPARE(s.overloadMultiple, quint16(4));
    QCOMPARE(s.doubleOverloadTime, quint16(60));
    QVERIFY(s.fastProtection);
    QCOMPARE(s.overloadReactionTime, quint16(250));
    QCOMPARE(s.brokenPhasesAllowed, quint16(2));

    ProtectionModel model(s);
    model.reset();
    QCOMPARE(model.thermalTimeConstant(), 9.32f * 60.0f);
}

void TestProtection::characteristic()
{
    const QVector<int> steps = ProtectionCharacteristic::percentSteps();
    QCOMPARE(steps.size(), ProtectionCharacteristic::kPointCount);
    const QVector<int> bounds = {steps[0], steps[58], steps[59], steps[90], steps[91], steps[106]};
    QCOMPARE(bounds, QVector<int>({1, 59, 60, 680, 700, 1450}));
    QVERIFY(std::is_sorted(steps.begin(), steps.end()));

    const ProtectionSettings s = settings(20, 5, 30, true, 500, 0);
    CurvePoints curve;
    QVERIFY(ProtectionCharacteristic::build(s, 10, curve));
    QCOMPARE(curve.x.size(), 107);
    QCOMPARE(curve.y.size(), 107);
    QCOMPARE(curve.x.first(), 0.123);
    QCOMPARE(curve.x.last(), 178.35);
    ProtectionModel model(s);
    for (int i : {0, 14, 59, 106})
        QCOMPARE(curve.y[i], model.tripTime(quint16(10 * steps[i])) * 0.000001);
    QCOMPARE(curve.y.last(), 0.003333); // 1450 % is above the fast threshold
}

void TestProtection::characteristicZeroScaleAndStop()
{
    const ProtectionSettings s = settings(20, 5, 30, true, 500, 0);
    CurvePoints curve;
    QVERIFY(ProtectionCharacteristic::build(s, 0, curve));
    for (int i = 0; i < curve.x.size(); ++i) {
        QCOMPARE(curve.x[i], 0.0);
        QVERIFY(std::isfinite(curve.y[i]));
    }

    const std::atomic<bool> stop {true};
    QVERIFY(!ProtectionCharacteristic::build(s, 10, curve, &stop));
    QVERIFY(curve.x.isEmpty());
}

// The fast build against the sample-by-sample model, every point of the curve:
// typical settings, every setting at both ends of its editor's range, and values
// only a damaged or blank device holds.
void TestProtection::solverMatchesEveryPointOfTheReference_data()
{
    QTest::addColumn<ProtectionSettings>("s");
    QTest::newRow("typical") << settings(20, 5, 30, true, 500, 0);
    QTest::newRow("low ends") << settings(1, 2, 10, false, 10, 0);
    QTest::newRow("high ends") << settings(60, 10, 200, true, 9990, 3);
    QTest::newRow("blank device") << settings(0, 0, 0, false, 0, 0);
    QTest::newRow("all ones") << settings(1, 1, 1, true, 5, 1);
    QTest::newRow("words at their maximum") << settings(65535, 65535, 65535, true, 65535, 65535);
    QTest::newRow("minimum above rated") << settings(120, 3, 45, false, 2000, 2);
}

void TestProtection::solverMatchesEveryPointOfTheReference()
{
    QFETCH(ProtectionSettings, s);
    ProtectionModel reference(s);
    const TripTimeSolver solver(s);
    for (int v : ProtectionCharacteristic::percentSteps()) {
        const quint16 a = quint16(10 * v);
        QCOMPARE(solver.tripTime(a), reference.tripTime(a));
    }
}

void TestProtection::solverMatchesTheReferenceOnRandomSettings()
{
    QRandomGenerator random(20261208); // the same cases every run
    auto word = [&random](quint32 low, quint32 high) { return quint16(random.bounded(low, high + 1)); };
    for (int i = 0; i < 200; ++i) {
        const bool wild = i % 4 == 0; // now and then values no editor allows
        const ProtectionSettings s = settings(wild ? word(0, 65535) : word(1, 60), wild ? word(0, 20) : word(2, 10),
                                              wild ? word(0, 400) : word(10, 200), random.bounded(2) == 1,
                                              wild ? word(0, 65535) : word(1, 999) * 10,
                                              wild ? word(0, 10) : word(0, 3));
        ProtectionModel reference(s);
        const TripTimeSolver solver(s);
        for (quint16 a : {quint16(word(1, 1450) * 10), word(0, 65535)})
            QVERIFY2(solver.tripTime(a) == reference.tripTime(a),
                     qPrintable(QStringLiteral("case %1, current %2").arg(i).arg(a)));
    }
}

QTEST_APPLESS_MAIN(TestProtection)
#include "tst_protection.moc"
