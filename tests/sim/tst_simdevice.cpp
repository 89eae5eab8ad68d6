// The simulated device without a line: what it answers, what it refuses and why,
// the access-code guard, and the plausibility of what a fresh device holds.
#include "device/configpacket.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protectioncharacteristic.h"
#include "device/protectionmodel.h"
#include "device/runconfigpacket.h"
#include "device/triptimesolver.h"
#include "link/modbusport.h"
#include "sim/simdevice.h"
#include "sim/simmotor.h"
#include "sim/simframe.h"
#include "sim/simoscillogram.h"
#include "sim/simstartcurve.h"
#include "tests/sim/devicerequests.h"

#include <QtTest>

namespace {

using DR = DeviceRequests;

constexpr qint64 kNow = 1700000000000; // a fixed host time, ms
constexpr quint16 kCode = SimDevice::kDefaultAccessCode;

// Sends the access code, then the request; the answer to the request.
SimDevice::Answer afterCode(SimDevice &d, const SimFrame &request)
{
    d.handle(DR::writeRequest(32, {kCode}), kNow);
    return d.handle(request, kNow);
}

} // namespace

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void identification_data();
    void identification();
    void blocksOfLargerModifications_data();
    void blocksOfLargerModifications();
    void writes_data();
    void writes();
    void armLastsExactlyOneRequest();
    void wrongOrChangedAccessCodeDoesNotArm();
    void refusals_data();
    void refusals();
    void holesReadAsZero();
    void clockFollowsTheHostAndCanBeSet();
    void clears_data();
    void clears();
    void settingsArePlausible_data();
    void settingsArePlausible();
    void logsOscillogramAndStartRecordAgree();
    void motorStartsOnlyUnderRemoteControl();
    void startStaysUnderItsOwnProtection_data();
    void startStaysUnderItsOwnProtection();
};

void TestSimDevice::identification_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("range");
    QTest::newRow("defaults") << 70 << 2 << 10;
    QTest::newRow("scale 1, 50 counts") << 40 << 1 << 50;
    QTest::newRow("scale 10, 84 counts") << 80 << 10 << 84;
}

void TestSimDevice::identification()
{
    QFETCH(int, modification);
    QFETCH(int, scale);
    QFETCH(int, range);
    SimDeviceConfig c = DR::model(modification);
    c.currentScale = quint16(scale);
    c.ratedMinCounts = quint16(range);
    SimDevice d(c, kNow);
    const SimDevice::Answer a = d.handle(DR::readRequest(1, 4), kNow);
    QCOMPARE(a.exception, 0);
    QCOMPARE(a.values, (QVector<quint16> {quint16(scale), quint16(range), quint16(range * 10), quint16(modification)}));
}

void TestSimDevice::blocksOfLargerModifications_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("reg");
    QTest::addColumn<bool>("exists");
    const int regs[] = {30, 180, 189, 190, 191, 171, 172};
    const int thresholds[] = {50, 50, 50, 70, 70, 80, 80};
    for (int m : {40, 49, 50, 60, 69, 70, 79, 80}) {
        for (int i = 0; i < 7; ++i) {
            const QByteArray name = QByteArray::number(m) + "/" + QByteArray::number(regs[i]);
            QTest::newRow(name.constData()) << m << regs[i] << (m >= thresholds[i]);
        }
    }
}

void TestSimDevice::blocksOfLargerModifications()
{
    QFETCH(int, modification);
    QFETCH(int, reg);
    QFETCH(bool, exists);
    SimDevice d(DR::model(modification), kNow);
    QCOMPARE(d.exists(reg), exists);
    QCOMPARE(d.handle(DR::readRequest(reg, 1), kNow).exception, exists ? 0 : int(SimFrame::IllegalDataAddress));
    // settings and counters there take a guarded write; the start peaks are read-only
    const bool writable = exists && (reg < 180 || reg > 189);
    const int refused = afterCode(d, DR::writeRequest(reg, {0})).exception;
    QCOMPARE(refused, writable ? 0 : int(SimFrame::IllegalDataAddress));
}

void TestSimDevice::writes_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<QVector<quint16>>("values");
    QTest::addColumn<bool>("withCode");
    QTest::addColumn<int>("exception");
    QTest::addColumn<int>("checkReg");
    QTest::addColumn<int>("expected"); // -1: as before the write

    const int guard = SimDevice::kGuardRefusal;
    QTest::newRow("setting without code") << 9 << QVector<quint16> {99} << false << guard << 9 << -1;
    QTest::newRow("setting after code") << 9 << QVector<quint16> {99} << true << 0 << 9 << 99;
    QTest::newRow("block without code") << 5 << QVector<quint16> {41, 21, 6} << false << guard << 6 << -1;
    QTest::newRow("block after code") << 5 << QVector<quint16> {41, 21, 6} << true << 0 << 7 << 6;
    QTest::newRow("190..191 after code") << 190 << QVector<quint16> {0xFFFB, 1} << true << 0 << 190 << 0xFFFB;
    QTest::newRow("span with one guarded register") << 30 << QVector<quint16> {700, 1} << false << guard << 31 << -1;
    QTest::newRow("clock without code") << 48 << QVector<quint16> {1, 2} << false << guard << 49 << -1;
    QTest::newRow("clock after code") << 48 << QVector<quint16> {0x5678, 0x1234} << true << 0 << 49 << 0x1234;
    QTest::newRow("motor command needs no code") << 31 << QVector<quint16> {1} << false << 0 << 38 << 1;
    QTest::newRow("motor command 3 is no command") << 31 << QVector<quint16> {3} << false << 3 << 38 << -1;
    QTest::newRow("aux output follows bit 1") << 37 << QVector<quint16> {0x0002} << false << 0 << 37 << 0x8002;
    QTest::newRow("outputs keep their other bits") << 37 << QVector<quint16> {0x7FFD} << false << 0 << 37 << 0x8000;
    QTest::newRow("access code alone is echoed") << 32 << QVector<quint16> {4} << false << 0 << 9 << -1;
    QTest::newRow("crash log clear takes only 0") << 50 << QVector<quint16> {5} << true << 3 << 50 << -1;
    QTest::newRow("work log clear without code") << 140 << QVector<quint16> {0} << false << guard << 140 << -1;
    QTest::newRow("auto-setup start after code") << 199 << QVector<quint16> {1} << true << 0 << 199 << 1;
    QTest::newRow("auto-setup takes only 1") << 199 << QVector<quint16> {2} << true << 3 << 199 << -1;
    QTest::newRow("monitoring is read-only") << 33 << QVector<quint16> {1} << true << 2 << 33 << -1;
    QTest::newRow("identification is read-only") << 4 << QVector<quint16> {80} << true << 2 << 4 << -1;
    QTest::newRow("read-only inside a span") << 29 << QVector<quint16> {1, 500, 0, 0, 0} << true << 2 << 29 << -1;
    QTest::newRow("hole is read-only") << 175 << QVector<quint16> {1} << true << 2 << 175 << -1;
}

void TestSimDevice::writes()
{
    QFETCH(int, first);
    QFETCH(QVector<quint16>, values);
    QFETCH(bool, withCode);
    QFETCH(int, exception);
    QFETCH(int, checkReg);
    QFETCH(int, expected);
    SimDevice d(DR::model(70), kNow);
    const quint16 before = d.value(checkReg, kNow);
    const SimFrame request = DR::writeRequest(first, values);
    const SimDevice::Answer a = withCode ? afterCode(d, request) : d.handle(request, kNow);
    QCOMPARE(a.exception, exception);
    QCOMPARE(int(d.value(checkReg, kNow)), expected < 0 ? int(before) : expected);
}

void TestSimDevice::armLastsExactlyOneRequest()
{
    SimDevice d(DR::model(70), kNow);
    QCOMPARE(afterCode(d, DR::writeRequest(9, {70})).exception, 0);
    QCOMPARE(d.handle(DR::writeRequest(9, {80}), kNow).exception, SimDevice::kGuardRefusal);
    QCOMPARE(d.value(9, kNow), quint16(70));

    // any request in between, even a read, uses the arm up
    d.handle(DR::writeRequest(32, {kCode}), kNow);
    QCOMPARE(d.handle(DR::readRequest(33, 17), kNow).exception, 0);
    QCOMPARE(d.handle(DR::writeRequest(9, {90}), kNow).exception, SimDevice::kGuardRefusal);
    // and so does a refused request
    d.handle(DR::writeRequest(32, {kCode}), kNow);
    QCOMPARE(d.handle(DR::readRequest(701, 1), kNow).exception, int(SimFrame::IllegalDataAddress));
    QCOMPARE(d.handle(DR::writeRequest(9, {90}), kNow).exception, SimDevice::kGuardRefusal);
    QCOMPARE(d.value(9, kNow), quint16(70));
}

void TestSimDevice::wrongOrChangedAccessCodeDoesNotArm()
{
    SimDevice d(DR::model(70), kNow);
    QCOMPARE(d.handle(DR::writeRequest(32, {kCode + 1}), kNow).exception, 0); // judged silently
    QCOMPARE(d.handle(DR::writeRequest(9, {33}), kNow).exception, SimDevice::kGuardRefusal);
    d.setAccessCode(4321);
    QCOMPARE(afterCode(d, DR::writeRequest(9, {33})).exception, SimDevice::kGuardRefusal);
    d.handle(DR::writeRequest(32, {4321}), kNow);
    QCOMPARE(d.handle(DR::writeRequest(9, {33}), kNow).exception, 0);
    // the code written by function 16 does not arm
    d.handle(DR::writeRequest(31, {0, 4321}), kNow);
    QCOMPARE(d.handle(DR::writeRequest(9, {34}), kNow).exception, SimDevice::kGuardRefusal);
}

void TestSimDevice::refusals_data()
{
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<int>("exception");
    auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::newRow("function 4") << hex("010400000001") << 1;
    QTest::newRow("function 5") << hex("01050000FF00") << 1;
    QTest::newRow("function 43") << hex("012B0E0100") << 1;
    QTest::newRow("read 0 registers") << hex("010300000000") << 3;
    QTest::newRow("read 126 registers") << hex("01030000007E") << 3;
    QTest::newRow("read 125 registers") << hex("01030000007D") << 0;
    QTest::newRow("read register 701") << hex("010302BC0001") << 2;
    QTest::newRow("read past 700") << hex("010302B80010") << 2;
    QTest::newRow("read register 700") << hex("010302BB0001") << 0;
    QTest::newRow("read register 65536") << hex("0103FFFF0001") << 2;
    QTest::newRow("read frame too long") << hex("01030000000100") << 3;
    QTest::newRow("write single frame too short") << hex("0106000800") << 3;
    QTest::newRow("write multiple byte count wrong") << hex("011000080001030001") << 3;
    QTest::newRow("write multiple values missing") << hex("01100008000204000A") << 3;
    QTest::newRow("write multiple 0 registers") << hex("0110000800000000") << 3;
    QTest::newRow("write single to 701") << hex("010602BC0001") << 2;
}

void TestSimDevice::refusals()
{
    QFETCH(QByteArray, pdu);
    QFETCH(int, exception);
    SimDevice d(DR::model(80), kNow);
    QCOMPARE(d.handle(DR::frame(pdu), kNow).exception, exception);
}

void TestSimDevice::holesReadAsZero()
{
    SimDevice d(DR::model(80), kNow);
    const SimDevice::Answer a = d.handle(DR::readRequest(173, 7), kNow);
    QCOMPARE(a.exception, 0);
    QCOMPARE(a.values, QVector<quint16>(7, 0));
    QCOMPARE(d.handle(DR::readRequest(690, 11), kNow).values, QVector<quint16>(11, 0));
    QCOMPARE(d.handle(DR::readRequest(237, 64), kNow).values, QVector<quint16>(64, 0));
}

void TestSimDevice::clockFollowsTheHostAndCanBeSet()
{
    SimDevice d(DR::model(70), kNow);
    const quint32 host = quint32(kNow / 1000);
    QCOMPARE(d.clock(kNow), host);
    QCOMPARE(d.handle(DR::readRequest(48, 2), kNow + 5000).values,
             (QVector<quint16> {quint16((host + 5) & 0xFFFF), quint16((host + 5) >> 16)}));
    QCOMPARE(afterCode(d, DR::writeRequest(48, {0x5678, 0x1234})).exception, 0);
    QCOMPARE(d.clock(kNow + 3000), 0x12345678u + 3);
    d.setValue(49, 0x0001, kNow); // only the high word changes
    QCOMPARE(d.clock(kNow), 0x00015678u);
}

void TestSimDevice::clears_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("cleared");
    QTest::addColumn<int>("clearedLast");
    QTest::newRow("crash log") << 70 << 50 << 1 << 50 << 139;
    QTest::newRow("work log with start peaks") << 70 << 140 << 1 << 180 << 189;
    QTest::newRow("work log records") << 70 << 140 << 1 << 140 << 169;
    QTest::newRow("running hours") << 70 << 170 << 1 << 170 << 170;
    QTest::newRow("start counter") << 80 << 171 << 2 << 171 << 172;
}

void TestSimDevice::clears()
{
    QFETCH(int, modification);
    QFETCH(int, reg);
    QFETCH(int, count);
    QFETCH(int, cleared);
    QFETCH(int, clearedLast);
    SimDevice d(DR::model(modification), kNow);
    const int span = clearedLast - cleared + 1;
    QVERIFY(d.handle(DR::readRequest(cleared, span), kNow).values != QVector<quint16>(span, 0));
    QCOMPARE(d.handle(DR::writeRequest(reg, QVector<quint16>(count, 0)), kNow).exception, SimDevice::kGuardRefusal);
    QVERIFY(d.handle(DR::readRequest(cleared, span), kNow).values != QVector<quint16>(span, 0));
    QCOMPARE(afterCode(d, DR::writeRequest(reg, QVector<quint16>(count, 0))).exception, 0);
    QCOMPARE(d.handle(DR::readRequest(cleared, span), kNow).values, QVector<quint16>(span, 0));
}

void TestSimDevice::settingsArePlausible_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("step");
    const int table[][4] = {
        {6, 1, 60, 1},    {7, 2, 10, 1},     {8, 1, 70, 1},   {9, 10, 200, 1}, {10, 1, 255, 1},
        {11, 0, 1, 1},    {12, 0, 1, 1},     {13, 0, 1, 1},   {14, 10, 9990, 10}, {15, 0, 3, 1},
        {16, 0, 1, 1},    {17, 0, 1, 1},     {18, 0, 1, 1},   {19, 10, 255, 1}, {20, 0, 3, 1},
        {21, 0, 1, 1},    {22, 1, 5940, 1},  {23, 1, 5940, 1}, {24, 0, 4, 1},  {25, 0, 5, 1},
        {26, 0, 2, 1},    {27, 0, 7, 1},     {28, 1, 30, 1},  {29, 0, 1, 1},   {30, 10, 2550, 10},
        {190, -20, 20, 1}, {191, 0, 1, 1},
    };
    for (const auto &row : table)
        QTest::newRow(QByteArray::number(row[0]).constData()) << row[0] << row[1] << row[2] << row[3];
}

void TestSimDevice::settingsArePlausible()
{
    QFETCH(int, reg);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, step);
    SimDevice d(DR::model(80), kNow);
    const int v = qint16(d.value(reg, kNow)); // 190 is signed; the others are small
    QVERIFY2(v >= low && v <= high && v % step == 0, qPrintable(QString::number(v)));
    // the rated current lies in the rated range
    QVERIFY(d.value(5, kNow) >= d.value(2, kNow) && d.value(5, kNow) <= d.value(3, kNow));
}

void TestSimDevice::logsOscillogramAndStartRecordAgree()
{
    SimDevice d(DR::model(80), kNow);
    const quint32 host = quint32(kNow / 1000);
    auto at32 = [&](int reg) { return quint32(d.value(reg, kNow)) | (quint32(d.value(reg + 1, kNow)) << 16); };
    QVERIFY(d.value(50, kNow) != 0 && at32(51) <= host && at32(51) > at32(60)); // newest record first
    QVERIFY(d.value(140, kNow) != 0 && at32(141) <= host && at32(141) > at32(144));
    QCOMPARE(d.value(SimOscillogram::kFaultCode, kNow), d.value(50, kNow));
    QCOMPARE(at32(SimOscillogram::kHeader), at32(51));
    // each current channel swings both ways around 0
    for (int channel = 0; channel < 3; ++channel) {
        const int first = SimOscillogram::kFirstSample + channel * SimOscillogram::kSamples;
        qint16 low = 0, high = 0;
        for (int k = 0; k < SimOscillogram::kSamples; ++k) {
            low = qMin(low, qint16(d.value(first + k, kNow)));
            high = qMax(high, qint16(d.value(first + k, kNow)));
        }
        QVERIFY(low < 0 && high > 0);
    }
    // the start record: time above a level never grows with the level
    for (int i = 1; i < SimStartCurve::kLevels; ++i)
        QVERIFY(d.value(SimStartCurve::kFirstTime + i, kNow) <= d.value(SimStartCurve::kFirstTime + i - 1, kNow));
    QCOMPARE(d.value(SimStartCurve::kCompleteness, kNow), SimStartCurve::kComplete);
}

void TestSimDevice::motorStartsOnlyUnderRemoteControl()
{
    SimDevice d(DR::model(70), kNow);
    QCOMPARE(afterCode(d, DR::writeRequest(29, {0})).exception, 0);
    QCOMPARE(d.handle(DR::writeRequest(31, {1}), kNow).exception, 0);
    QCOMPARE(d.value(38, kNow), quint16(0));
    QCOMPARE(afterCode(d, DR::writeRequest(29, {1})).exception, 0);
    d.handle(DR::writeRequest(31, {2}), kNow);
    QCOMPARE(d.value(38, kNow), quint16(2));
    QVERIFY(d.value(37, kNow) & SimDevice::kPowerOutput);
    QCOMPARE(afterCode(d, DR::writeRequest(29, {0})).exception, 0);
    d.handle(DR::writeRequest(31, {0}), kNow); // a stop is always obeyed
    QCOMPARE(d.value(38, kNow), quint16(0));
    QVERIFY(!(d.value(37, kNow) & SimDevice::kPowerOutput));
}

void TestSimDevice::startStaysUnderItsOwnProtection_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("currentScale");
    QTest::addColumn<int>("ratedMinCounts");
    // The devices of the demo line.
    QTest::newRow("v70, 5-50 A") << 70 << 2 << 10;
    QTest::newRow("v80, 50-500 A") << 80 << 1 << 50;
    QTest::newRow("v40, 8.4-84 A") << 40 << 10 << 84;
}

// A healthy start as the device's own settings judge it: its recorded start lies left
// of and below the protection characteristic, and the motor's inrush, fed sample by
// sample to the device's protection, trips nothing.
void TestSimDevice::startStaysUnderItsOwnProtection()
{
    QFETCH(int, modification);
    QFETCH(int, currentScale);
    QFETCH(int, ratedMinCounts);
    SimDeviceConfig model = DR::model(modification);
    model.currentScale = quint16(currentScale);
    model.ratedMinCounts = quint16(ratedMinCounts);
    SimDevice d(model, kNow);
    const auto fromDevice = [&](quint32 reg) { return d.value(int(reg), kNow); };
    const std::unique_ptr<ConfigPacket> config = PacketFactory::configuration(modification);
    PacketRegisters::fill(*config, fromDevice);
    RunConfigPacket record(currentScale);
    PacketRegisters::fill(record, fromDevice);
    const ProtectionSettings settings = ProtectionSettings::fromConfig(*config);
    const double rated = ProtectionCharacteristic::ratedCurrentAmps(settings.ratedCurrent, currentScale);
    const TripTimeSolver solver(settings);
    const CurvePoints start = record.characteristic();
    // At and below the minimum current the characteristic is the broken-phase trip: a
    // limit a running motor stays above, not under.
    const auto perMille = [&](double amps) { return int(std::lround(amps / rated * 1000)); };
    const int least = settings.minCurrent * 10;
    for (int i = 0; i < start.x.size(); ++i) {
        if (perMille(start.x[i]) <= least)
            continue;
        const double trip = solver.tripTime(quint16(perMille(start.x[i]))) * 1e-6;
        QVERIFY2(start.y[i] < trip, qPrintable(QStringLiteral("%1 A: %2 s, trips after %3 s")
                                                   .arg(start.x[i]).arg(start.y[i]).arg(trip)));
    }
    // Between the recorded points too: each point of the characteristic within the start's
    // currents above its straight line (which lies above the line a logarithmic axis draws).
    CurvePoints protection;
    QVERIFY(ProtectionCharacteristic::build(settings, currentScale, protection));
    for (int k = 0; k < protection.x.size(); ++k) {
        const double amps = protection.x[k];
        if (perMille(amps) <= least)
            continue;
        const auto above = std::lower_bound(start.x.begin(), start.x.end(), amps);
        if (above == start.x.begin() || above == start.x.end())
            continue;
        const int i = int(above - start.x.begin());
        const double f = (amps - start.x[i - 1]) / (start.x[i] - start.x[i - 1]);
        const double startSeconds = start.y[i - 1] + f * (start.y[i] - start.y[i - 1]);
        QVERIFY2(startSeconds < protection.y[k], qPrintable(QStringLiteral("%1 A: start %2 s, protection %3 s")
                                                                .arg(amps).arg(startSeconds).arg(protection.y[k])));
    }
    // The motor's own start through the device's protection, three phases every 10 ms.
    SimMotor motor(0);
    motor.start(1, 0);
    ProtectionModel device(settings);
    device.reset();
    for (qint64 us = 0; us < 10 * 1000 * 1000; us += ProtectionModel::kSampleIntervalUs) {
        device.sample(int(us / ProtectionModel::kSampleIntervalUs % ProtectionModel::kPhases),
                      quint16(std::lround(motor.currentMultiple(us / 1000) * 1000)));
        QVERIFY2(!device.tripped(), qPrintable(QStringLiteral("tripped %1 ms into the start").arg(us / 1000)));
    }
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
