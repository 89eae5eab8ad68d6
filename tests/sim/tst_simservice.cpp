// The simulated device in service, run on simulated time: starts and stops with their
// log records, the inrush, heating, trips by overcurrent and thermal overload with crash
// record and oscillogram, injected trips, counters, auto-setup, held registers and
// reproducibility under a seed; and a trip seen by the real master over the line.
#include "link/modbusport.h"
#include "sim/simdevice.h"
#include "sim/simmotor.h"
#include "sim/simulator.h"
#include "tests/sim/devicerequests.h"
#include "tests/sim/testmaster.h"

#include <QtTest>

namespace {

using DR = DeviceRequests;

constexpr qint64 kT0 = 1700000000000; // host time, ms
constexpr quint16 kCode = SimDevice::kDefaultAccessCode;
constexpr int kRatedCounts = 40;      // the preset: four times the lowest rated current (10)

int reg(SimDevice &d, int r, qint64 t)
{
    d.advance(t);
    return d.value(r, t);
}

quint32 reg32(SimDevice &d, int r, qint64 t)
{
    return quint32(reg(d, r, t)) | (quint32(reg(d, r + 1, t)) << 16);
}

int guardedWrite(SimDevice &d, int first, const QVector<quint16> &values, qint64 t)
{
    d.handle(DR::writeRequest(32, {kCode}), t);
    return d.handle(DR::writeRequest(first, values), t).exception;
}

void command(SimDevice &d, quint16 code, qint64 t)
{
    QCOMPARE(d.handle(DR::writeRequest(31, {code}), t).exception, 0);
}

// The first moment, in 50 ms steps from 'from', at which the motor is found at rest; -1 if none by 'until'.
qint64 stoppedAt(SimDevice &d, qint64 from, qint64 until)
{
    for (qint64 t = from; t <= until; t += 50)
        if (reg(d, 38, t) == 0)
            return t;
    return -1;
}

} // namespace

class TestSimService : public QObject
{
    Q_OBJECT

private slots:
    void startAndStopAreLogged();
    void inrushDecaysToTheLoadCurrent();
    void heatingFollowsTheLoad();
    void protectionTrips_data();
    void protectionTrips();
    void injectedTrips();
    void auxiliaryOutputSignalsATrip();
    void runningHoursAndStarts();
    void autoSetupMeasuresTheMotor();
    void autoSetupStateSetFromOutsideStaysPut();
    void heldRegistersUntilReleased();
    void sameSeedSameValuesHoweverPolled();
    void tripSeenOverTheLine();
};

void TestSimService::startAndStopAreLogged()
{
    SimDevice d(DR::model(80), kT0);
    const quint32 starts = reg32(d, 171, kT0);
    command(d, 1, kT0);
    QCOMPARE(reg(d, 38, kT0), 1);
    QVERIFY(reg(d, 37, kT0) & SimDevice::kPowerOutput);
    QCOMPARE(reg(d, 140, kT0), 2);
    QCOMPARE(reg32(d, 141, kT0), d.clock(kT0));
    QCOMPARE(reg(d, 180, kT0), qRound(SimMotor::kInrushMultiple * kRatedCounts)); // inrush peak, in counts
    QCOMPARE(reg32(d, 171, kT0), starts + 1);

    command(d, 2, kT0 + 1000); // a running motor ignores another start
    QCOMPARE(reg(d, 38, kT0 + 1000), 1);
    QCOMPARE(reg32(d, 171, kT0 + 1000), starts + 1);

    const qint64 stop = kT0 + 20000;
    command(d, 0, stop);
    QCOMPARE(reg(d, 38, stop), 0);
    QCOMPARE(reg(d, 140, stop), 1);
    QCOMPARE(reg32(d, 141, stop), d.clock(stop));
    QCOMPARE(reg(d, 143, stop), 2); // the start moved to record 1, its peak with it
    QCOMPARE(reg(d, 180, stop), 0);
    QCOMPARE(reg(d, 181, stop), qRound(SimMotor::kInrushMultiple * kRatedCounts));
    for (int phase = 0; phase < 3; ++phase)
        QCOMPARE(reg(d, 42 + phase, stop), 0);
}

void TestSimService::inrushDecaysToTheLoadCurrent()
{
    SimDevice d(DR::model(70), kT0);
    command(d, 1, kT0);
    QVERIFY(reg(d, 42, kT0 + 100) > 3 * kRatedCounts);
    int previous = reg(d, 42, kT0 + 100);
    for (qint64 ms : {400, 800, 1500, 2500}) {
        const int now = reg(d, 42, kT0 + ms);
        QVERIFY2(now < previous, qPrintable(QStringLiteral("%1 ms: %2").arg(ms).arg(now)));
        previous = now;
    }
    const int load = qRound(0.8 * kRatedCounts);
    for (int phase = 0; phase < 3; ++phase) {
        QVERIFY(qAbs(reg(d, 42 + phase, kT0 + 10000) - load) <= load * 3 / 100 + 1);
        QVERIFY(qAbs(reg(d, 45 + phase, kT0 + 10000) - 380) <= 3);
    }
}

void TestSimService::heatingFollowsTheLoad()
{
    SimDevice d(DR::model(70), kT0);
    d.setLoad(100, kT0);
    command(d, 1, kT0);
    const int warm = reg(d, 33, kT0 + 60000); // a minute at the rated current, from cold
    QVERIFY2(warm >= 25 && warm <= 35, qPrintable(QString::number(warm)));
    QVERIFY(qAbs(reg(d, 41, kT0 + 60000) - (21 + warm * 8 / 10)) <= 1); // PT100 follows
    d.setLoad(50, kT0 + 60000);
    QVERIFY(reg(d, 33, kT0 + 600000) < warm); // a lighter load cools it down
    command(d, 0, kT0 + 600000);
    QVERIFY(reg(d, 33, kT0 + 600000 + 3600000) < 5);
}

void TestSimService::protectionTrips_data()
{
    QTest::addColumn<int>("load");
    QTest::addColumn<int>("doubleOverloadSeconds");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("earliestMs");
    QTest::addColumn<int>("latestMs"); // of the trip, after the start
    QTest::newRow("thermal at twice the rated current") << 200 << 10 << 32 << 4000 << 10000;
    QTest::newRow("overcurrent after the start phase") << 600 << 60 << 31 << 3100 << 3150;
    QTest::newRow("nothing at 80 %") << 80 << 60 << 0 << -1 << -1;
}

void TestSimService::protectionTrips()
{
    QFETCH(int, load);
    QFETCH(int, doubleOverloadSeconds);
    QFETCH(int, code);
    QFETCH(int, earliestMs);
    QFETCH(int, latestMs);
    SimDevice d(DR::model(70), kT0);
    QCOMPARE(guardedWrite(d, 9, {quint16(doubleOverloadSeconds)}, kT0), 0);
    d.setLoad(load, kT0);
    command(d, 1, kT0);
    const qint64 stopped = stoppedAt(d, kT0, kT0 + 600000);
    if (code == 0) {
        QCOMPARE(stopped, qint64(-1));
        return;
    }
    QVERIFY2(stopped >= kT0 + earliestMs && stopped <= kT0 + latestMs, qPrintable(QString::number(stopped - kT0)));
    QCOMPARE(reg(d, 34, stopped), code);
    QCOMPARE(reg(d, 50, stopped), code);
    QVERIFY(qAbs(qint64(reg32(d, 51, stopped)) - qint64(d.clock(stopped))) <= 1);
    const int amps = kRatedCounts * load / 100;
    QVERIFY2(qAbs(reg(d, 53, stopped) - amps) <= amps / 20 + 1, qPrintable(QString::number(reg(d, 53, stopped))));
    QVERIFY(qAbs(reg(d, 56, stopped) - 380) <= 3);
    QCOMPARE(reg(d, 303, stopped), code);
    QCOMPARE(reg32(d, 301, stopped), reg32(d, 51, stopped));
    QCOMPARE(reg(d, 140, stopped), 1); // the trip stopped the motor
    QVERIFY(!(reg(d, 37, stopped) & SimDevice::kPowerOutput));
    command(d, 0, stopped + 1000); // a stop acknowledges the trip
    QCOMPARE(reg(d, 34, stopped + 1000), 0);
}

void TestSimService::injectedTrips()
{
    SimDevice d(DR::model(70), kT0);
    command(d, 1, kT0);
    d.injectTrip(65, kT0 + 10000);
    QCOMPARE(reg(d, 38, kT0 + 10000), 0);
    QCOMPARE(reg(d, 34, kT0 + 10000), 65);
    QCOMPARE(reg(d, 50, kT0 + 10000), 65);
    QVERIFY(qAbs(reg(d, 54, kT0 + 10000) - 32) <= 2); // phase B at the trip
    QCOMPARE(reg(d, 303, kT0 + 10000), 65);
    QCOMPARE(reg(d, 140, kT0 + 10000), 1);

    const quint32 newestWork = reg32(d, 141, kT0 + 20000);
    d.injectTrip(81, kT0 + 20000); // at rest: a crash record, no stop record
    QCOMPARE(reg(d, 50, kT0 + 20000), 81);
    QCOMPARE(reg(d, 59, kT0 + 20000), 65);
    QCOMPARE(reg(d, 53, kT0 + 20000), 0);
    QCOMPARE(reg32(d, 141, kT0 + 20000), newestWork);
    command(d, 1, kT0 + 30000); // a start clears the active fault too
    QCOMPARE(reg(d, 34, kT0 + 30000), 0);
    QCOMPARE(reg(d, 38, kT0 + 30000), 1);
}

void TestSimService::auxiliaryOutputSignalsATrip()
{
    SimDevice d(DR::model(70), kT0);
    QCOMPARE(guardedWrite(d, 27, {1}, kT0), 0); // auxiliary output: trip signal
    QVERIFY(!(reg(d, 37, kT0) & SimDevice::kAuxOutput));
    d.injectTrip(10, kT0 + 1000);
    QVERIFY(reg(d, 37, kT0 + 1000) & SimDevice::kAuxOutput);
    command(d, 0, kT0 + 2000);
    QVERIFY(!(reg(d, 37, kT0 + 2000) & SimDevice::kAuxOutput));
}

void TestSimService::runningHoursAndStarts()
{
    SimDevice d(DR::model(80), kT0);
    const int hours = reg(d, 170, kT0);
    command(d, 1, kT0);
    QCOMPARE(reg(d, 170, kT0 + 9000000), hours + 2); // 2.5 h
    QCOMPARE(guardedWrite(d, 170, {0}, kT0 + 9000000), 0);
    QCOMPARE(reg(d, 170, kT0 + 9000000 + 3599000), 0);
    QCOMPARE(reg(d, 170, kT0 + 9000000 + 3600000), 1);
    command(d, 0, kT0 + 13000000);
    QCOMPARE(reg(d, 170, kT0 + 20000000), 1); // at rest the hours stand still
    QCOMPARE(guardedWrite(d, 171, {0, 0}, kT0 + 20000000), 0);
    command(d, 1, kT0 + 20001000);
    QCOMPARE(reg32(d, 171, kT0 + 20001000), 1u);
}

void TestSimService::autoSetupMeasuresTheMotor()
{
    SimDevice d(DR::model(70), kT0);
    d.setLoad(60, kT0);
    QCOMPARE(guardedWrite(d, 199, {1}, kT0), 0);
    QCOMPARE(reg(d, 199, kT0), 1);
    QCOMPARE(reg(d, 200, kT0 + 60000), 0); // gathers nothing while the motor rests
    const qint64 start = kT0 + 60000;
    command(d, 1, start);
    QVERIFY(qAbs(reg(d, 200, start + 5000) - 32767) <= 1);
    QCOMPARE(reg(d, 199, start + 5000), 1);
    const qint64 done = start + 10000;
    QCOMPARE(reg(d, 199, done), 2);
    QCOMPARE(reg(d, 200, done), 65535);
    QCOMPARE(reg32(d, 201, done), d.clock(done));
    const int measured = qRound(0.6 * kRatedCounts);
    QCOMPARE(reg(d, 203, done), measured);
    QCOMPARE(reg(d, 5, done), measured); // the rated current now fits the motor
    QCOMPARE(reg(d, 204, done), 65535);
    QVERIFY(reg(d, 205, done) > 0 && reg(d, 236, done) == 0); // 0.1 x base: long; 11 x base: never
    for (int i = 1; i < 32; ++i)
        QVERIFY(reg(d, 205 + i, done) <= reg(d, 204 + i, done));
}

void TestSimService::autoSetupStateSetFromOutsideStaysPut()
{
    SimDevice d(DR::model(70), kT0);
    d.setValue(199, 1, kT0);
    command(d, 1, kT0);
    QCOMPARE(reg(d, 199, kT0 + 60000), 1);
    QCOMPARE(reg(d, 200, kT0 + 60000), 65535); // the preset's, untouched
}

void TestSimService::heldRegistersUntilReleased()
{
    SimDevice d(DR::model(70), kT0);
    d.setValue(41, 999, kT0); // PT100 open
    d.setValue(34, 72, kT0);
    command(d, 1, kT0);
    QCOMPARE(reg(d, 41, kT0 + 5000), 999);
    QCOMPARE(reg(d, 34, kT0 + 5000), 72);
    QVERIFY(reg(d, 42, kT0 + 5000) > 0); // the rest still follows the motor
    d.releaseRegisters();
    QVERIFY(qAbs(reg(d, 41, kT0 + 6000) - (21 + reg(d, 33, kT0 + 6000) * 8 / 10)) <= 1);
    QCOMPARE(reg(d, 34, kT0 + 6000), 0);
}

void TestSimService::sameSeedSameValuesHoweverPolled()
{
    SimDevice often(DR::model(70), kT0);
    SimDevice once(DR::model(70), kT0);
    SimDevice other(DR::model(70), kT0);
    other.setSeed(2);
    for (SimDevice *d : {&often, &once, &other})
        command(*d, 1, kT0);
    for (qint64 t = kT0; t < kT0 + 5000; t += 20)
        often.advance(t);
    const qint64 end = kT0 + 5000;
    QCOMPARE(reg(often, 33, end), reg(once, 33, end));
    QCOMPARE(often.motorModel().heatingPercent(), once.motorModel().heatingPercent()); // not just rounded alike
    bool differs = false;
    for (int r = 33; r <= 47; ++r) {
        QCOMPARE(reg(often, r, end), reg(once, r, end));
        differs = differs || reg(other, r, end) != reg(once, r, end);
    }
    for (qint64 t = end; t < end + 5000 && !differs; t += 250)
        differs = reg(other, 45, t) != reg(once, 45, t) || reg(other, 46, t) != reg(once, 46, t);
    QVERIFY(differs);
}

void TestSimService::tripSeenOverTheLine()
{
    Simulator sim;
    sim.addDevice(SimDeviceConfig());
    QVERIFY(sim.start());
    auto port = TestMaster::open(sim.linkPath(), 1);
    QVERIFY(port);
    QVERIFY(port->writeRegister(31, 1));
    sim.injectTrip(1, 62);
    quint16 record[9] = {};
    QVERIFY2(port->readRegisters(50, sizeof record, record), qPrintable(port->errorString()));
    QCOMPARE(record[0], quint16(62));
    QVERIFY(record[3] > 0 && record[6] > 300);
    quint16 oscillogramCode = 0;
    QVERIFY(port->readRegisters(303, 2, &oscillogramCode));
    QCOMPARE(oscillogramCode, quint16(62));
    QCOMPARE(sim.registerValue(1, 38), quint16(0));
}

QTEST_GUILESS_MAIN(TestSimService)
#include "tst_simservice.moc"
