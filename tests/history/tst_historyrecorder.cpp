// The recorder fed by a data thread talking to the simulator: what the thread saw is
// in the file after a flush, in amperes, each log record and oscillogram once; the
// link notes; a file it cannot use leaves the poll running without history; a file
// locked by another connection is opened when the lock goes, and the log says so.
#include "device/crashprotocolpacket.h"
#include "device/eventdatav50.h"
#include "device/protocolpacket.h"
#include "device/watchdatapacket.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/datathread.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "sim/simulator.h"
#include "tests/exchange/eventrecorder.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"
#include "tests/testwritefailure.h"

#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct RecordedLine {
    Simulator sim;
    SimDeviceConfig config;
    std::unique_ptr<DataThread> thread;
    EventRecorder events;

    RecordedLine() { sim.addDevice(config); }
    bool start(HistoryRecorder &recorder)
    {
        if (!sim.start())
            return false;
        thread = std::make_unique<DataThread>(SimIdentity::of(config, 0), sim.linkPath());
        thread->setTiming(testTiming());
        QObject::connect(thread.get(), &DataThread::dataEvent, &events, &EventRecorder::onDataEvent);
        recorder.attach(*thread, QStringLiteral("COM7"));
        thread->startExchange();
        return true;
    }
};

// What the recorder logs, from its writer thread.
struct LogLines {
    std::mutex mutex;
    QList<QPair<int, QString>> lines;

    void attach(HistoryRecorder &recorder)
    {
        recorder.setLog([this](int priority, const QString &text) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.append({priority, text});
        });
    }
    QList<int> priorities()
    {
        std::lock_guard<std::mutex> lock(mutex);
        QList<int> out;
        for (const auto &line : lines)
            out << line.first;
        return out;
    }
    QString text(int i)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return lines.value(i).second;
    }
};

} // namespace

class TestHistoryRecorder : public QObject
{
    Q_OBJECT

private slots:
    void recordsWhatTheThreadSees();
    void linkLostAndRestoredAreNoted();
    void unusableFileLeavesThePollRunning_data();
    void unusableFileLeavesThePollRunning();
    void fullDiskMidRun();
    void lockedAtStartIsOpenedLater_data();
    void lockedAtStartIsOpenedLater();

private:
    QTemporaryDir dir;
};

void TestHistoryRecorder::recordsWhatTheThreadSees()
{
    const QString path = dir.filePath(QStringLiteral("seen.sqlite"));
    HistoryRecorder recorder(path);
    qint64 clock = 1700000000000LL;
    recorder.setClock([&clock] { return clock += 1000; }); // each event a second later
    recorder.setBatchInterval(50);
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    RecordedLine line;
    QVERIFY(line.start(recorder));
    line.sim.injectTrip(1, 31);
    QVERIFY(line.events.waitFor(DataEvent::OscillogramGet));
    QVERIFY(line.events.waitFor(DataEvent::GetProtocol, 1));
    const int gets = line.events.count(DataEvent::Get) + 2;
    QVERIFY(line.events.waitFor(DataEvent::Get, gets)); // the logs read again on later marks: same records
    line.thread->stopExchange();
    recorder.flush();
    QCOMPARE(recorder.lostSamples(), quint64(0));

    HistoryStore store;
    QVERIFY(store.open(path, true));
    const QVector<HistoryDevice> devices = store.devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].line, QStringLiteral("COM7"));
    QCOMPARE(devices[0].identity, HistoryRecorder::identity(SimIdentity::of(line.config, 0)));
    const QVector<HistorySample> samples = store.samples(devices[0].id, 0, clock);
    QCOMPARE(quint64(samples.size()), recorder.samplesWritten());
    QCOMPARE(samples.size(), line.events.count(DataEvent::Get));
    const WatchDataPacket *last = line.events.last<DataEventGet>(DataEvent::Get)->packet();
    const double scale = line.config.currentScale;
    QCOMPARE(samples.last().currents[1], std::round(last->phaseCurrent(1) / scale * 1000) / 1000);
    QCOMPARE(samples.last().voltages[2], int(last->phaseVoltage(2)));
    QCOMPARE(samples.last().pt100, int(last->pt100Temperature()));
    const QVector<HistoryOscillogram> oscillograms = store.oscillograms(devices[0].id);
    QCOMPARE(oscillograms.size(), 1);
    QCOMPARE(oscillograms[0].faultCode, 31);
    int tripRecords = 0;
    for (const HistoryEvent &e : store.events(devices[0].id, 0, std::numeric_limits<qint64>::max()))
        tripRecords += e.source == HistoryEvent::CrashLog && e.timeMs == qint64(oscillograms[0].tripTime) * 1000;
    QCOMPARE(tripRecords, 1);

    // Each log record as its code and numbers, no words: the reader says them.
    const DataEventGetProtocol *logs = line.events.last<DataEventGetProtocol>(DataEvent::GetProtocol);
    QVERIFY(logs && logs->protocol() && logs->crashProtocol());
    QMap<QPair<int, qint64>, HistoryEvent> stored; // by source and time
    for (const HistoryEvent &e : store.events(devices[0].id, 0, std::numeric_limits<qint64>::max())) {
        QVERIFY2(e.text.isEmpty(), qPrintable(e.text));
        stored.insert({e.source, e.timeMs}, e);
    }
    auto toMilli = [](double amperes) { return std::round(amperes * 1000) / 1000; };
    int crashRecords = 0;
    for (int i = 0; i < CrashProtocolPacket::kRecords; ++i) {
        const CrashRecord r = logs->crashProtocol()->record(i);
        if (r.code == 0)
            continue;
        ++crashRecords;
        const HistoryEvent e = stored.value({HistoryEvent::CrashLog, qint64(r.time) * 1000});
        QCOMPARE(e.code, r.code);
        QVERIFY(e.phases && !e.startPeak);
        for (int p = 0; p < 3; ++p) {
            QCOMPARE(e.phases->currents[p], toMilli(r.currents[p]));
            QCOMPARE(e.phases->voltages[p], r.voltages[p]);
        }
    }
    QVERIFY(crashRecords >= 1);
    int workRecords = 0;
    for (int i = 0; i < ProtocolPacket::kRecords; ++i) {
        const std::unique_ptr<EventData> r = logs->protocol()->event(i);
        if (r->code == EventData::Empty)
            continue;
        ++workRecords;
        const HistoryEvent e = stored.value({HistoryEvent::WorkLog, qint64(r->time) * 1000});
        QCOMPARE(e.code, r->code);
        QVERIFY(!e.phases);
        const auto *withPeak = dynamic_cast<const EventDataV50 *>(r.get()); // the simulated device is a 0.70
        QVERIFY(withPeak && e.startPeak);
        QCOMPARE(*e.startPeak, toMilli(withPeak->startPeak));
    }
    QVERIFY(workRecords >= 1); // the trip stopped the running motor
}

void TestHistoryRecorder::linkLostAndRestoredAreNoted()
{
    const QString path = dir.filePath(QStringLiteral("link.sqlite"));
    HistoryRecorder recorder(path);
    recorder.setBatchInterval(50);
    QVERIFY(recorder.start());
    RecordedLine line;
    QVERIFY(line.start(recorder));
    QVERIFY(line.events.waitFor(DataEvent::Get));
    line.sim.setFault(SimFault {SimFault::NoReply});
    QVERIFY(line.events.waitFor(DataEvent::Error));
    line.sim.clearFaults();
    QVERIFY(line.events.waitFor(DataEvent::LinkRestored, 1, 30000));
    line.thread->stopExchange();
    recorder.flush();
    HistoryStore store;
    QVERIFY(store.open(path, true));
    QList<int> codes;
    for (const HistoryEvent &e : store.events(store.devices().value(0).id, 0, std::numeric_limits<qint64>::max()))
        if (e.source == HistoryEvent::Link)
            codes << e.code;
    QCOMPARE(codes, (QList<int> {HistoryEvent::LinkLost, HistoryEvent::LinkRestored}));
}

void TestHistoryRecorder::unusableFileLeavesThePollRunning_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("damaged") << QByteArray(4096, '\x5a') << QStringLiteral("not a database");
    QTest::newRow("directory") << QByteArray("dir") << QStringLiteral("unable to open");
}

void TestHistoryRecorder::unusableFileLeavesThePollRunning()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path = dir.filePath(QStringLiteral("bad-%1").arg(QTest::currentDataTag()));
    if (content == "dir") {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    HistoryRecorder recorder(path);
    QVERIFY(!recorder.start());
    QVERIFY2(recorder.error().contains(reason, Qt::CaseInsensitive), qPrintable(recorder.error()));
    RecordedLine line;
    QVERIFY(line.start(recorder));
    QVERIFY(line.events.waitFor(DataEvent::Get, 2));
    line.thread->stopExchange();
    QCOMPARE(recorder.lostSamples(), quint64(line.events.count(DataEvent::Get)));
    if (content != "dir") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content); // never altered
    }
}

// The disk refuses every write for a while: the batches then are counted as lost and
// said once, the poll goes on, and recording resumes in a file that is still sound.
void TestHistoryRecorder::fullDiskMidRun()
{
    const QString path = dir.filePath(QStringLiteral("full.sqlite"));
    HistoryRecorder recorder(path);
    recorder.setBatchInterval(50);
    QVERIFY(recorder.start());
    QSignalSpy failures(&recorder, &HistoryRecorder::failed);
    LogLines log;
    log.attach(recorder);
    RecordedLine line;
    QVERIFY(line.start(recorder));
    QVERIFY(line.events.waitFor(DataEvent::Get, 2));
    recorder.flush();
    {
        const WriteLimit full(1);
        QVERIFY(full.isActive());
        const int gets = line.events.count(DataEvent::Get);
        QVERIFY(line.events.waitFor(DataEvent::Get, gets + 2));
        recorder.flush();
    }
    QVERIFY(recorder.lostSamples() > 0);
    QCOMPARE(failures.count(), 1);
    QVERIFY2(failures.first().first().toString().startsWith(path), qPrintable(failures.first().first().toString()));
    const quint64 before = recorder.samplesWritten();
    QVERIFY(line.events.waitFor(DataEvent::Get, line.events.count(DataEvent::Get) + 2));
    line.thread->stopExchange();
    recorder.flush();
    QVERIFY(recorder.samplesWritten() > before);
    // The test hears the last reading through its event loop, after the recorder had it.
    QTRY_COMPARE_WITH_TIMEOUT(recorder.samplesWritten() + recorder.lostSamples(),
                              quint64(line.events.count(DataEvent::Get)), 5000);
    HistoryStore store;
    QVERIFY(store.open(path, true));
    QCOMPARE(quint64(store.samples(store.devices().value(0).id, 0, std::numeric_limits<qint64>::max()).size()),
             recorder.samplesWritten());
    QCOMPARE(log.priorities(), (QList<int> {HistoryRecorder::LogWarning, HistoryRecorder::LogNotice}));
    QVERIFY2(log.text(0).startsWith(QStringLiteral("history not written: ") + path), qPrintable(log.text(0)));
    QVERIFY2(log.text(1).startsWith(QStringLiteral("history written again into ") + path), qPrintable(log.text(1)));
}

void TestHistoryRecorder::lockedAtStartIsOpenedLater_data()
{
    QTest::addColumn<bool>("historyFile"); // a history database already (WAL), else a new file
    QTest::addColumn<QString>("begin");
    QTest::newRow("history file, immediate") << true << QStringLiteral("BEGIN IMMEDIATE");
    QTest::newRow("new file, exclusive") << false << QStringLiteral("BEGIN EXCLUSIVE");
}

// Another program holds a write transaction when recording starts: the poll goes on,
// what comes before the lock goes is lost and counted, the file is opened once it goes,
// and the log says the failure once as a warning and the resumption once as a notice.
void TestHistoryRecorder::lockedAtStartIsOpenedLater()
{
    QFETCH(bool, historyFile);
    QFETCH(QString, begin);
    const QString path = dir.filePath(QStringLiteral("locked-%1.sqlite").arg(historyFile));
    if (historyFile) {
        HistoryStore made;
        QVERIFY2(made.open(path), qPrintable(made.error()));
    }
    const QString holderName = QStringLiteral("holder-%1").arg(historyFile);
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holderName);
        holder.setDatabaseName(path);
        QVERIFY(holder.open());
        QSqlQuery hold(holder);
        QVERIFY2(hold.exec(begin), qPrintable(hold.lastError().text()));
        if (!historyFile)
            QVERIFY(hold.exec(QStringLiteral("CREATE TABLE taken (x)"))); // the lock is taken at the first write

        HistoryRecorder recorder(path);
        recorder.setBatchInterval(50);
        recorder.setRetryInterval(100, 400);
        LogLines log;
        log.attach(recorder);
        QSignalSpy failures(&recorder, &HistoryRecorder::failed);
        QVERIFY(recorder.start());
        QVERIFY2(recorder.error().contains(QStringLiteral("locked")), qPrintable(recorder.error()));
        RecordedLine line;
        QVERIFY(line.start(recorder));
        QVERIFY(line.events.waitFor(DataEvent::Get, 2));
        recorder.flush(); // answered while the file is not open
        QVERIFY(recorder.lostSamples() >= 2);
        QCOMPARE(recorder.samplesWritten(), quint64(0));

        QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
        QVERIFY(QTest::qWaitFor([&] { return recorder.samplesWritten() >= 2; }, 30000));
        line.thread->stopExchange();
        recorder.flush();
        // The test hears the last reading through its event loop, after the recorder had it.
        QTRY_COMPARE_WITH_TIMEOUT(recorder.samplesWritten() + recorder.lostSamples(),
                                  quint64(line.events.count(DataEvent::Get)), 5000);
        QCOMPARE(log.priorities(), (QList<int> {HistoryRecorder::LogWarning, HistoryRecorder::LogNotice}));
        QVERIFY2(log.text(0).contains(path) && log.text(0).contains(QStringLiteral("locked")), qPrintable(log.text(0)));
        QVERIFY2(log.text(1).endsWith(QStringLiteral("(%1 samples lost so far)").arg(recorder.lostSamples())),
                 qPrintable(log.text(1)));
        QCOMPARE(failures.count(), 1);
        HistoryStore store;
        QVERIFY(store.open(path, true));
        QCOMPARE(quint64(store.samples(store.devices().value(0).id, 0, std::numeric_limits<qint64>::max()).size()),
                 recorder.samplesWritten());
    }
    QSqlDatabase::removeDatabase(holderName);
}

QTEST_GUILESS_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
