// The one filler of a report's data: missing blocks, an oscillogram with and without
// a trip, the samples at the device's current scale; and against the simulator, the
// same data from the window's connection and from a snapshot of what it read.
#include "cli/devicesnapshot.h"
#include "cli/snapshotreport.h"
#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protocolevent.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/deviceconnection.h"
#include "link/lineoptions.h"
#include "report/reportfiller.h"
#include "sim/simulator.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"

#include <QtTest>

namespace {

constexpr int kWaitMs = 15000;
constexpr quint32 kTripTimeLow = 301; // the oscillogram's header: trip time, then the fault code
constexpr quint32 kFaultCode = 303;

QByteArray bytesOf(const DataPacket &block)
{
    QByteArray out;
    for (const RegisterRequest &r : block.requests())
        out.append(static_cast<const char *>(r.buffer), int(r.byteCount));
    return out;
}

QStringList rowsOf(const SampleBuffer &samples)
{
    QStringList rows;
    for (int i = 0; i < samples.size(); ++i) {
        QStringList row {QString::number(samples.time(i), 'f', 0)};
        for (int c = 0; c < samples.columnCount(); ++c)
            row << QString::number(samples.value(c, i));
        rows << row.join(' ');
    }
    return rows;
}

// The device's log entries, newest first: the application's own are the window's alone.
QStringList logEntries(const ProtocolList &protocol)
{
    QStringList out;
    for (int i = 0; i < protocol.size(); ++i)
        if (protocol.at(i).kind() != ProtocolEvent::Application)
            out << protocol.at(i).time().toString(Qt::ISODate) + QLatin1Char(' ') + protocol.at(i).text();
    return out;
}

SampleWindow::Sample sampleAt(quint32 time, quint16 current, qint16 temperature)
{
    SampleWindow::Sample s;
    s.time = time;
    for (int phase = 0; phase < SampleWindow::kPhases; ++phase) {
        s.currents[phase] = quint16(current + phase);
        s.voltages[phase] = quint16(380 + phase);
    }
    s.temperature = temperature;
    s.heating = 87;
    return s;
}

} // namespace

class TestReportFiller : public QObject
{
    Q_OBJECT

private slots:
    void crashSectionNeedsATrip_data();
    void crashSectionNeedsATrip();
    void samplesBecomeThePlotsColumns();
    void connectionAndSnapshotFillTheSame();
};

void TestReportFiller::crashSectionNeedsATrip_data()
{
    QTest::addColumn<bool>("given");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("trip");
    QTest::addColumn<bool>("section");
    QTest::newRow("none") << false << 0 << 0 << false;
    QTest::newRow("none stored: fault code 0") << true << 0 << 1234 << false;
    QTest::newRow("no trip time") << true << 31 << 0 << false;
    QTest::newRow("a trip") << true << 31 << 1234 << true;
}

// The blocks not given are those of the modification, all zero, as before a first read.
void TestReportFiller::crashSectionNeedsATrip()
{
    QFETCH(bool, given);
    QFETCH(int, fault);
    QFETCH(int, trip);
    CrashOscillogramPacket block;
    PacketRegisters::write(block, kFaultCode, quint16(fault));
    PacketRegisters::write(block, kTripTimeLow, quint16(trip));
    ReportFiller::Source source;
    source.device.modification = 80;
    source.oscillogram = given ? &block : nullptr;
    const ReportData d = ReportFiller::fill(source);
    QTEST(bool(d.oscillogram), "section");
    QCOMPARE(bytesOf(*d.monitoring), bytesOf(*PacketFactory::monitoring(80)));
    QCOMPARE(bytesOf(*d.configuration), bytesOf(*PacketFactory::configuration(80)));
    QVERIFY(d.startCharacteristic.x.isEmpty());
}

// Currents A, B, C in amperes at the device's 2 counts an ampere, then voltages;
// temperature, then heating, also of an earlier connection.
void TestReportFiller::samplesBecomeThePlotsColumns()
{
    SampleWindow live;
    live.append(sampleAt(1000, 33, 20));
    SampleWindow temperatures;
    temperatures.append(sampleAt(990, 0, -10));
    temperatures.append(sampleAt(1000, 33, 20));
    ReportFiller::Source source;
    source.device.currentScale = 2;
    source.liveSamples = &live;
    source.temperatureSamples = &temperatures;
    const ReportData d = ReportFiller::fill(source);
    QCOMPARE(rowsOf(d.liveSamples), QStringList {"1000 16.5 17 17.5 380 381 382"});
    QCOMPARE(rowsOf(d.temperatureSamples), (QStringList {"990 -10 87", "1000 20 87"}));
}

// What the connection read, handed to the command line's report as its snapshot:
// both fill the same data but for the window's own protocol entries.
void TestReportFiller::connectionAndSnapshotFillTheSame()
{
    Simulator sim;
    const SimDeviceConfig config;
    sim.addDevice(config);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    DeviceConnection connection;
    DeviceSnapshot snapshot;
    connect(&connection, &DeviceConnection::dataEvent, this, [&snapshot](const DataEvent *e) {
        if (const auto *logs = dynamic_cast<const DataEventGetProtocol *>(e)) {
            snapshot.workLog.reset(logs->protocol()->clone());
            snapshot.crashLog.reset(logs->crashProtocol()->clone());
        }
    });
    connection.open(SimIdentity::of(config, 73), sim.linkPath(), LineOptions(), testTiming());
    QVERIFY(QTest::qWaitFor([&] {
        return snapshot.workLog && connection.startRecord() && connection.oscillogram()
            && connection.liveSamples().size() >= 3;
    }, kWaitMs));
    // No event is taken in from here on: the loop does not run.
    snapshot.device = *connection.device();
    snapshot.configuration.reset(connection.configuration()->clone());
    snapshot.startRecord.reset(connection.startRecord()->clone());
    snapshot.oscillogram.reset(connection.oscillogram()->clone());
    snapshot.monitoring.reset(connection.monitoring()->clone());
    snapshot.samples = connection.liveSamples();
    const SampleWindow &held = connection.liveSamples();
    connection.setPlotInterval(int(held.newest().time - held.at(0).time) + 1); // the snapshot's span
    const ReportData window = ReportFiller::fill(ReportFiller::of(connection, CurrentAxis::Logarithmic));
    const SnapshotReport report(snapshot); // holds the protocol its data borrows
    const ReportData command = report.data();

    QCOMPARE(command.device.toRecord(), window.device.toRecord());
    QCOMPARE(command.version, window.version);
    QVERIFY(command.oscillogram && window.oscillogram);
    using Blocks = std::pair<const DataPacket *, const DataPacket *>;
    for (const Blocks &blocks : {Blocks(command.monitoring.get(), window.monitoring.get()),
                                 Blocks(command.configuration.get(), window.configuration.get()),
                                 Blocks(command.oscillogram.get(), window.oscillogram.get())})
        QCOMPARE(bytesOf(*blocks.first), bytesOf(*blocks.second));
    QCOMPARE(rowsOf(command.liveSamples), rowsOf(window.liveSamples));
    QCOMPARE(rowsOf(command.temperatureSamples), rowsOf(window.temperatureSamples));
    QCOMPARE(command.plotInterval, window.plotInterval);
    QCOMPARE(command.protection.ratedCurrent, window.protection.ratedCurrent);
    QCOMPARE(command.startCharacteristic.y, window.startCharacteristic.y);
    QVERIFY(!logEntries(*window.protocol).isEmpty());
    QCOMPARE(logEntries(*command.protocol), logEntries(*window.protocol));
    connection.close();
}

QTEST_MAIN(TestReportFiller)
#include "tst_reportfiller.moc"
