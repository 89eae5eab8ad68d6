// The history database against a temporary file: what goes in comes back, each log
// entry once with its numbers, a file of the older schema upgraded or read as upgraded
// with every entry, the retention pass and its minute rows, and the files it refuses
// or cannot write without ever stopping the caller.
#include "history/historystore.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr qint64 kDay = HistoryStore::kDayMs;
constexpr qint64 kStart = 1699999980000LL; // a minute boundary

HistorySample sampleAt(qint64 timeMs, double current)
{
    HistorySample s;
    s.timeMs = timeMs;
    s.currents[0] = current;
    s.currents[1] = current * 2;
    s.currents[2] = 0.125;
    s.voltages[0] = 380;
    s.pt100 = 41;
    s.heating = 12;
    s.faultCode = 3;
    s.motorRunning = true;
    s.inputs = 5;
    return s;
}

QVector<HistorySample> secondsFrom(qint64 startMs, int count)
{
    QVector<HistorySample> out;
    for (int i = 0; i < count; ++i)
        out.append(sampleAt(startMs + i * 1000LL, 10.0 + i % 60));
    return out;
}

// A file as the first schema left it, written here statement by statement: a device, a
// sample, an oscillogram and log entries whose texts hold their numbers.
struct Version1Entry
{
    qint64 time;
    int source;
    int code;
    const char *text; // null: NULL
};

const Version1Entry kVersion1Entries[] = {
    {kStart, HistoryEvent::WorkLog, 1, "Останов двигателя"},
    {kStart + 1000, HistoryEvent::WorkLog, 2, "Пуск двигателя"},
    {kStart + 2000, HistoryEvent::Link, 1, "Связь потеряна"},
    {kStart + 3000, HistoryEvent::Link, 2, "Связь восстановлена"},
    {kStart + 4000, HistoryEvent::CrashLog, 31,
     "Перегрузка по току (среднебыстродействующая защита) (12.3 / 12.5 / 0.0 A, 380 / 381 / 379 V)"},
    {kStart + 5000, HistoryEvent::CrashLog, 32, "Motor thermal overload (1.5 / 2.5 / 3.5 A, 400 / 401 / 402 V)"},
    {kStart + 6000, HistoryEvent::WorkLog, 2, "запуск вручную"}, // nobody's text of ours: kept
    {kStart + 7000, HistoryEvent::WorkLog, 3, nullptr},
};
constexpr int kVersion1Kept = 1;

bool writeVersion1(const QString &path)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("version1"));
        db.setDatabaseName(path);
        ok = db.open();
        QString minute;
        for (const char *c : {"current_a", "current_b", "current_c", "voltage_a", "voltage_b", "voltage_c", "pt100", "heating"})
            minute += QStringLiteral("%1_min INTEGER, %1_mean INTEGER, %1_max INTEGER, ").arg(QLatin1String(c));
        const QStringList statements = {
            "PRAGMA auto_vacuum = INCREMENTAL",
            "CREATE TABLE device (id INTEGER PRIMARY KEY, line TEXT NOT NULL, address INTEGER NOT NULL, "
            "identity TEXT NOT NULL, current_scale INTEGER NOT NULL, UNIQUE (line, address, identity))",
            "CREATE TABLE sample (device INTEGER NOT NULL, time INTEGER NOT NULL, current_a INTEGER, current_b INTEGER, "
            "current_c INTEGER, voltage_a INTEGER, voltage_b INTEGER, voltage_c INTEGER, pt100 INTEGER, heating INTEGER, "
            "fault_code INTEGER, motor_running INTEGER, inputs INTEGER, outputs INTEGER, PRIMARY KEY (device, time)) "
            "WITHOUT ROWID",
            "CREATE TABLE minute (device INTEGER NOT NULL, time INTEGER NOT NULL, " + minute
                + "fault_code INTEGER, motor_running INTEGER, inputs INTEGER, outputs INTEGER, count INTEGER, "
                  "PRIMARY KEY (device, time)) WITHOUT ROWID",
            "CREATE TABLE event (device INTEGER NOT NULL, time INTEGER NOT NULL, source INTEGER NOT NULL, "
            "code INTEGER NOT NULL, text TEXT, PRIMARY KEY (device, time, source, code)) WITHOUT ROWID",
            "CREATE TABLE oscillogram (id INTEGER PRIMARY KEY, device INTEGER NOT NULL, trip_time INTEGER NOT NULL, "
            "fault_code INTEGER NOT NULL, recorded INTEGER NOT NULL, block BLOB NOT NULL, "
            "UNIQUE (device, trip_time, fault_code))",
            "PRAGMA user_version = 1",
            "PRAGMA journal_mode = WAL",
            "INSERT INTO device VALUES (1, 'COM3', 5, '5.0-50.0 v0.70', 10)",
            QStringLiteral("INSERT INTO sample (device, time, current_a, voltage_a) VALUES (1, %1, 12345, 380)").arg(kStart),
            QStringLiteral("INSERT INTO oscillogram VALUES (1, 1, 1700000000, 31, %1, x'0102')").arg(kStart),
        };
        QSqlQuery q(db);
        for (const QString &s : statements)
            ok = ok && q.exec(s);
        q.prepare("INSERT INTO event VALUES (1, ?, ?, ?, ?)");
        for (const Version1Entry &e : kVersion1Entries) {
            q.addBindValue(e.time);
            q.addBindValue(e.source);
            q.addBindValue(e.code);
            q.addBindValue(e.text ? QVariant(QString::fromUtf8(e.text)) : QVariant(QVariant::String));
            ok = ok && q.exec();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("version1"));
    return ok;
}

// PRAGMA user_version of the file, read on a connection of its own.
int fileVersion(const QString &path)
{
    int version = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec("PRAGMA user_version") && q.next())
            version = q.value(0).toInt();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
    return version;
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); path = dir.filePath(QStringLiteral("h%1.sqlite").arg(++n)); }
    void samplesComeBackInTheirPeriod_data();
    void samplesComeBackInTheirPeriod();
    void logEntriesAreStoredOnce();
    void logEntriesKeepTheirNumbers();
    void olderFileKeepsItsEntries_data();
    void olderFileKeepsItsEntries();
    void oscillogramKeptWholeOnce();
    void devicesWithFirstAndLastTimes();
    void retentionSumsMinutesAndDropsOld();
    void retentionGivesTheSpaceBack();
    void refusedFiles_data();
    void refusedFiles();
    void twoWritersShareTheFile();
    void lockedWriteIsToldApart();

private:
    QTemporaryDir dir;
    QString path;
    int n = 0;
};

void TestHistoryStore::samplesComeBackInTheirPeriod_data()
{
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<int>("count");
    QTest::newRow("all") << kStart << kStart + 99000 << 100;
    QTest::newRow("bounds inclusive") << kStart + 10000 << kStart + 20000 << 11;
    QTest::newRow("one") << kStart + 5000 << kStart + 5000 << 1;
    QTest::newRow("before") << kStart - 5000 << kStart - 1 << 0;
}

void TestHistoryStore::samplesComeBackInTheirPeriod()
{
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(int, count);
    HistoryStore store;
    QVERIFY2(store.open(path), qPrintable(store.error()));
    QCOMPARE(store.schemaVersion(), HistoryStore::kSchemaVersion);
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 3, QStringLiteral("5.0-50.0 v0.70"), 10);
    QVERIFY(id > 0);
    QVERIFY(store.appendSamples(id, secondsFrom(kStart, 100)));
    const QVector<HistorySample> got = store.samples(id, from, to);
    QCOMPARE(got.size(), count);
    if (count == 0)
        return;
    QCOMPARE(got.first().timeMs, qMax(from, kStart));
    const HistorySample &s = got.first();
    const HistorySample want = sampleAt(s.timeMs, 10.0 + (s.timeMs - kStart) / 1000 % 60);
    QCOMPARE(s.currents[0], want.currents[0]);
    QCOMPARE(s.currents[1], want.currents[1]);
    QCOMPARE(s.currents[2], 0.125);
    QCOMPARE(s.voltages[0], 380);
    QCOMPARE(s.pt100, 41);
    QCOMPARE(s.heating, 12);
    QCOMPARE(s.faultCode, 3);
    QVERIFY(s.motorRunning);
    QCOMPARE(s.inputs, quint16(5));
}

void TestHistoryStore::logEntriesAreStoredOnce()
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    const QVector<HistoryEvent> log = {{kStart, HistoryEvent::CrashLog, 4, QStringLiteral("trip")},
                                       {kStart + 1000, HistoryEvent::WorkLog, 2, QStringLiteral("start")}};
    // The device's logs are read again and again, each time with the same records.
    for (int i = 0; i < 3; ++i)
        QVERIFY(store.appendEvents(id, log));
    QVERIFY(store.appendEvents(id, {{kStart + 500, HistoryEvent::Link, HistoryEvent::LinkLost, QStringLiteral("lost")}}));
    const QVector<HistoryEvent> got = store.events(id, kStart, kStart + 1000);
    QCOMPARE(got.size(), 3);
    QCOMPARE(got[0].text, QStringLiteral("trip"));
    QCOMPARE(got[1].source, int(HistoryEvent::Link));
    QCOMPARE(got[2].code, 2);
}

void TestHistoryStore::logEntriesKeepTheirNumbers()
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    HistoryEvent start {kStart, HistoryEvent::WorkLog, 2};
    start.startPeak = 48.2504; // kept to the mA, as the samples' currents
    HistoryEvent trip {kStart + 1000, HistoryEvent::CrashLog, 31};
    trip.phases = HistoryEvent::Phases {{12.3, 0.001, 0}, {380, 0, 415}};
    const HistoryEvent note {kStart + 2000, HistoryEvent::Link, HistoryEvent::LinkLost};
    QVERIFY2(store.appendEvents(id, {start, trip, note}), qPrintable(store.error()));
    const QVector<HistoryEvent> got = store.events(id, kStart, kStart + 2000);
    QCOMPARE(got.size(), 3);
    QCOMPARE(got[0].startPeak, std::optional<double>(48.25));
    QVERIFY(!got[0].phases);
    QVERIFY(!got[1].startPeak);
    QVERIFY(got[1].phases);
    QCOMPARE(got[1].phases->currents[0], 12.3);
    QCOMPARE(got[1].phases->currents[1], 0.001);
    QCOMPARE(got[1].phases->currents[2], 0.0);
    QCOMPARE(got[1].phases->voltages[0], 380);
    QCOMPARE(got[1].phases->voltages[2], 415);
    QVERIFY(!got[2].startPeak && !got[2].phases);
    for (const HistoryEvent &e : got)
        QVERIFY(e.text.isEmpty());
    // No words in the file: the reader's language makes them.
    QSqlQuery q(QSqlDatabase::database(QSqlDatabase::connectionNames().value(0)));
    QVERIFY(q.exec("SELECT count(*) FROM event WHERE text IS NOT NULL") && q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

void TestHistoryStore::olderFileKeepsItsEntries_data()
{
    QTest::addColumn<bool>("writer");           // the file is upgraded, else only read
    QTest::addColumn<bool>("upgradedMeanwhile"); // a writer upgrades it while the reader has it open
    QTest::newRow("a writer upgrades it") << true << false;
    QTest::newRow("a reader reads it as upgraded") << false << false;
    QTest::newRow("upgraded while a reader has it") << false << true;
}

// A file of the first schema: opened by a writer it becomes the current one and every
// entry is there, texts turned to numbers where they are ours and kept where not; a
// reader, which may not change the file, reads it the same.
void TestHistoryStore::olderFileKeepsItsEntries()
{
    QFETCH(bool, writer);
    QFETCH(bool, upgradedMeanwhile);
    QVERIFY(writeVersion1(path));
    HistoryStore store;
    QVERIFY2(store.open(path, !writer), qPrintable(store.error()));
    if (upgradedMeanwhile) {
        QCOMPARE(store.events(1, 0, kStart + kDay).size(), int(std::size(kVersion1Entries)));
        QVERIFY(HistoryStore().open(path));
    }
    QCOMPARE(fileVersion(path), writer || upgradedMeanwhile ? HistoryStore::kSchemaVersion : 1);

    const QVector<HistoryEvent> got = store.events(1, 0, kStart + kDay);
    QCOMPARE(got.size(), int(std::size(kVersion1Entries)));
    int kept = 0;
    for (int i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].timeMs, kVersion1Entries[i].time);
        QCOMPARE(got[i].source, kVersion1Entries[i].source);
        QCOMPARE(got[i].code, kVersion1Entries[i].code);
        QVERIFY(!got[i].startPeak);
        kept += !got[i].text.isEmpty();
    }
    QCOMPARE(kept, kVersion1Kept);
    QCOMPARE(got[6].text, QStringLiteral("запуск вручную"));
    QVERIFY(got[4].phases && got[5].phases);
    QCOMPARE(got[4].phases->currents[1], 12.5);
    QCOMPARE(got[4].phases->voltages[2], 379);
    QCOMPARE(got[5].phases->currents[2], 3.5);
    QCOMPARE(got[5].phases->voltages[0], 400);
    for (int i : {0, 1, 2, 3, 6, 7})
        QVERIFY(!got[i].phases);
    // The rest of the file as it was.
    QCOMPARE(store.devices().size(), 1);
    QCOMPARE(store.devices()[0].identity, QStringLiteral("5.0-50.0 v0.70"));
    const QVector<HistorySample> samples = store.samples(1, 0, kStart + kDay);
    QCOMPARE(samples.size(), 1);
    QCOMPARE(samples[0].currents[0], 12.345);
    HistoryOscillogram o;
    QVERIFY(store.oscillogram(1, o));
    QCOMPARE(o.block, QByteArray("\x01\x02"));
    if (!writer)
        return;
    // Upgraded once: opened again it is as it was, and takes new entries.
    QVERIFY(store.open(path));
    QCOMPARE(store.events(1, 0, kStart + kDay).size(), got.size());
    HistoryEvent trip {kStart + 8000, HistoryEvent::CrashLog, 30};
    trip.phases.emplace();
    QVERIFY2(store.appendEvents(1, {trip}), qPrintable(store.error()));
    QVERIFY(store.events(1, kStart + 8000, kStart + 8000).value(0).phases);
}

void TestHistoryStore::oscillogramKeptWholeOnce()
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    QByteArray block(778, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(i * 7);
    const HistoryOscillogram first {0, 1700000000u, 4, kStart, block};
    QVERIFY(store.appendOscillogram(id, first));
    QVERIFY(store.appendOscillogram(id, first)); // the same one read again
    QVERIFY(store.appendOscillogram(id, {0, 1700000100u, 5, kStart + 1000, block}));
    const QVector<HistoryOscillogram> list = store.oscillograms(id);
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].faultCode, 4);
    QVERIFY(list[0].block.isEmpty());
    HistoryOscillogram whole;
    QVERIFY(store.oscillogram(list[0].id, whole));
    QCOMPARE(whole.block, block);
    QCOMPARE(whole.tripTime, 1700000000u);
    QVERIFY(!store.oscillogram(9999, whole));
}

void TestHistoryStore::devicesWithFirstAndLastTimes()
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 a = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    const qint64 b = store.deviceId(QStringLiteral("COM1"), 2, QStringLiteral("x"), 10);
    QCOMPARE(store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10), a);
    QVERIFY(store.appendSamples(a, secondsFrom(kStart, 10)));
    const QVector<HistoryDevice> list = store.devices();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].id, a);
    QCOMPARE(list[0].firstMs, kStart);
    QCOMPARE(list[0].lastMs, kStart + 9000);
    QCOMPARE(list[1].id, b);
    QCOMPARE(list[1].lastMs, qint64(0));
}

void TestHistoryStore::retentionSumsMinutesAndDropsOld()
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    // Three minutes ten days ago, one minute three days ago, an event long ago.
    QVERIFY(store.appendSamples(id, secondsFrom(kStart, 180)));
    QVERIFY(store.appendSamples(id, secondsFrom(kStart + 7 * kDay, 60)));
    QVERIFY(store.appendEvents(id, {{kStart - 800 * kDay, HistoryEvent::WorkLog, 1, QString()}}));
    const qint64 now = kStart + 10 * kDay;
    QVERIFY2(store.applyRetention(now, 7, 730), qPrintable(store.error()));
    const QVector<HistorySample> got = store.samples(id, 0, now);
    QCOMPARE(got.size(), 3 + 60); // one row a minute, then the full resolution
    QCOMPARE(got[0].timeMs, kStart);
    QCOMPARE(got[1].timeMs, kStart + 60000);
    QCOMPARE(got[0].currents[0], 10.0 + 29.5); // the mean of 10..69 A, to the mA
    QCOMPARE(got[3].timeMs, kStart + 7 * kDay);
    QVERIFY(store.events(id, 0, now).isEmpty());
    // A second pass changes nothing; a later one drops the minute rows past two years.
    QVERIFY(store.applyRetention(now, 7, 730));
    QCOMPARE(store.samples(id, 0, now).size(), 63);
    QVERIFY(store.applyRetention(kStart + 740 * kDay, 7, 730));
    QVERIFY(store.samples(id, 0, kStart + 740 * kDay).isEmpty());
}

void TestHistoryStore::retentionGivesTheSpaceBack()
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    QVERIFY(store.appendSamples(id, secondsFrom(kStart, 20000)));
    QVERIFY(store.applyRetention(kStart, 7, 730)); // folds the journal in
    const qint64 full = QFileInfo(path).size();
    QVERIFY(store.applyRetention(kStart + 1000 * kDay, 7, 730));
    const qint64 after = QFileInfo(path).size();
    QVERIFY2(after < full / 4, qPrintable(QStringLiteral("%1 -> %2 bytes").arg(full).arg(after)));
}

void TestHistoryStore::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readOnlyFile");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("locked"); // worth trying again later
    QTest::newRow("damaged") << QByteArray(8192, 'x') << false << QStringLiteral("not a database") << false;
    QTest::newRow("newer schema") << QByteArray("newer") << false << QStringLiteral("schema version 99 is newer") << false;
    QTest::newRow("read-only") << QByteArray() << true << QStringLiteral("readonly") << false;
    QTest::newRow("held by another writer") << QByteArray("held") << false << QStringLiteral("database is locked") << true;
}

void TestHistoryStore::refusedFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, readOnlyFile);
    QFETCH(QString, reason);
    QFETCH(bool, locked);
    QSqlDatabase holder; // another program's write transaction, for as long as the case runs
    if (content == "held") {
        QVERIFY(HistoryStore().open(path));
        holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(path);
        QVERIFY(holder.open());
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));
    } else if (content == "newer") {
        QVERIFY(HistoryStore().open(path));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = 99")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    } else if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    } else {
        HistoryStore maker;
        QVERIFY(maker.open(path));
    }
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    if (readOnlyFile)
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    if (readOnlyFile && QFileInfo(path).isWritable())
        QSKIP("running as a user who can write any file");
    HistoryStore store;
    QVERIFY(!store.open(path));
    QVERIFY2(store.error().contains(reason), qPrintable(store.error()));
    QVERIFY(store.error().contains(path));
    QCOMPARE(store.locked(), locked);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before); // never altered
    if (readOnlyFile) // reading it still works
        QVERIFY2(store.open(path, true), qPrintable(store.error()));
    if (holder.isValid()) {
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        QVERIFY2(store.open(path), qPrintable(store.error())); // the lock gone, the same call succeeds
    }
}

// A write refused because another connection holds the file is told from other failures.
void TestHistoryStore::lockedWriteIsToldApart()
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 device = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
        holder.setDatabaseName(path);
        QVERIFY(holder.open());
        QSqlQuery hold(holder);
        QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QVERIFY(!store.appendSamples(device, secondsFrom(kStart, 3)));
        QVERIFY2(store.locked(), qPrintable(store.error()));
        QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    QVERIFY2(store.appendSamples(device, secondsFrom(kStart, 3)), qPrintable(store.error()));
    HistoryOscillogram none;
    QVERIFY(!store.oscillogram(12345, none));
    QVERIFY(!store.locked()); // a missing row is no lock
}

void TestHistoryStore::twoWritersShareTheFile()
{
    HistoryStore window;
    HistoryStore cli;
    QVERIFY(window.open(path));
    QVERIFY(cli.open(path));
    const qint64 a = window.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("x"), 10);
    const qint64 b = cli.deviceId(QStringLiteral("COM2"), 1, QStringLiteral("x"), 10);
    QVERIFY(a != b);
    for (int i = 0; i < 5; ++i) {
        QVERIFY2(window.appendSamples(a, secondsFrom(kStart + i * 100000, 50)), qPrintable(window.error()));
        QVERIFY2(cli.appendSamples(b, secondsFrom(kStart + i * 100000, 50)), qPrintable(cli.error()));
    }
    QCOMPARE(cli.samples(a, 0, kStart + kDay).size(), 250);
    QCOMPARE(window.samples(b, 0, kStart + kDay).size(), 250);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
