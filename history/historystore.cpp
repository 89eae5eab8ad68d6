#include "history/historystore.h"

#include "history/legacyeventtext.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <atomic>
#include <iterator>
#include <cmath>

namespace {

// Currents are kept as whole milliamperes: integers take 1 to 3 bytes in the file, a
// real takes 8, and the device's resolution (1/scale A) is coarser than 1 mA.
qint64 milliamperes(double amperes) { return qint64(std::llround(amperes * 1000.0)); }
double amperes(const QVariant &milli) { return milli.toDouble() / 1000.0; }

// The eight measured values, by column name; the minute table keeps each as _min, _mean and _max.
const char *const kValueColumns[] = {"current_a", "current_b", "current_c", "voltage_a",
                                     "voltage_b", "voltage_c", "pt100",     "heating"};

QString minuteColumns()
{
    QString s;
    for (const char *c : kValueColumns) {
        const QString n = QString::fromLatin1(c);
        s += n + QStringLiteral("_min INTEGER, ") + n + QStringLiteral("_mean INTEGER, ") + n
             + QStringLiteral("_max INTEGER, ");
    }
    return s;
}

QString minuteAggregates()
{
    QString s;
    for (const char *c : kValueColumns) {
        const QString n = QString::fromLatin1(c);
        s += QStringLiteral("min(%1), CAST(round(avg(%1)) AS INTEGER), max(%1), ").arg(n);
    }
    return s;
}

const char kCreateDevice[] =
    "CREATE TABLE device (id INTEGER PRIMARY KEY, line TEXT NOT NULL, address INTEGER NOT NULL, "
    "identity TEXT NOT NULL, current_scale INTEGER NOT NULL, UNIQUE (line, address, identity))";
const char kCreateSample[] =
    "CREATE TABLE sample (device INTEGER NOT NULL, time INTEGER NOT NULL, "
    "current_a INTEGER, current_b INTEGER, current_c INTEGER, voltage_a INTEGER, voltage_b INTEGER, "
    "voltage_c INTEGER, pt100 INTEGER, heating INTEGER, fault_code INTEGER, motor_running INTEGER, "
    "inputs INTEGER, outputs INTEGER, PRIMARY KEY (device, time)) WITHOUT ROWID";
// Version 2 added the numbers after text, so that an upgraded file and a new one have
// the same columns in the same order. text is NULL but for words kept as they were.
const char kCreateEvent[] =
    "CREATE TABLE event (device INTEGER NOT NULL, time INTEGER NOT NULL, source INTEGER NOT NULL, "
    "code INTEGER NOT NULL, text TEXT, start_peak INTEGER, current_a INTEGER, current_b INTEGER, current_c INTEGER, "
    "voltage_a INTEGER, voltage_b INTEGER, voltage_c INTEGER, PRIMARY KEY (device, time, source, code)) WITHOUT ROWID";
// What version 2 added to the event table; each column NULL where its value is absent.
const char *const kEventValueColumns[] = {"start_peak", "current_a", "current_b", "current_c",
                                          "voltage_a",  "voltage_b", "voltage_c"};
const char kSelectEvents[] =
    "SELECT time, source, code, text, start_peak, current_a, current_b, current_c, voltage_a, voltage_b, voltage_c "
    "FROM event WHERE device = ? AND time >= ? AND time <= ? ORDER BY time, source, code";
const char kSelectEventsV1[] =
    "SELECT time, source, code, text FROM event WHERE device = ? AND time >= ? AND time <= ? "
    "ORDER BY time, source, code";
const char kCreateOscillogram[] =
    "CREATE TABLE oscillogram (id INTEGER PRIMARY KEY, device INTEGER NOT NULL, trip_time INTEGER NOT NULL, "
    "fault_code INTEGER NOT NULL, recorded INTEGER NOT NULL, block BLOB NOT NULL, "
    "UNIQUE (device, trip_time, fault_code))";

// SQLite's own words where it has them ("database is locked", "disk I/O error").
QString reasonOf(const QSqlError &e)
{
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

// Qt's transaction calls keep SQLite's words but not its code.
bool isLock(const QSqlError &e)
{
    const int code = e.nativeErrorCode().toInt() & 0xff; // the primary code of an extended one
    return code == SQLITE_BUSY || code == SQLITE_LOCKED
           || e.databaseText() == QLatin1String(sqlite3_errstr(SQLITE_BUSY))
           || e.databaseText() == QLatin1String(sqlite3_errstr(SQLITE_LOCKED));
}

// The minute rows first, up to where the full resolution begins, then the full rows.
const char kSelectSamples[] =
    "SELECT time, current_a_mean, current_b_mean, current_c_mean, voltage_a_mean, voltage_b_mean, "
    "voltage_c_mean, pt100_mean, heating_mean, fault_code, motor_running, inputs, outputs FROM minute "
    "WHERE device = ?1 AND time >= ?2 AND time <= ?3 "
    "AND time < coalesce((SELECT min(time) FROM sample WHERE device = ?4), 9e18) "
    "UNION ALL SELECT time, current_a, current_b, current_c, voltage_a, voltage_b, voltage_c, pt100, heating, "
    "fault_code, motor_running, inputs, outputs FROM sample WHERE device = ?5 AND time >= ?6 AND time <= ?7 "
    "ORDER BY time";

QString nextConnectionName()
{
    static std::atomic<int> counter {0};
    return QStringLiteral("orbix-history-%1").arg(++counter);
}

void bindSample(QSqlQuery &q, qint64 device, const HistorySample &s)
{
    q.bindValue(0, device);
    q.bindValue(1, s.timeMs);
    for (int p = 0; p < HistorySample::kPhases; ++p) {
        q.bindValue(2 + p, milliamperes(s.currents[p]));
        q.bindValue(5 + p, s.voltages[p]);
    }
    q.bindValue(8, s.pt100);
    q.bindValue(9, s.heating);
    q.bindValue(10, s.faultCode);
    q.bindValue(11, s.motorRunning ? 1 : 0);
    q.bindValue(12, s.inputs);
    q.bindValue(13, s.outputs);
}

// Columns: time, the three currents, three voltages, pt100, heating, fault, running, inputs, outputs.
HistorySample readSample(const QSqlQuery &q)
{
    HistorySample s;
    s.timeMs = q.value(0).toLongLong();
    for (int p = 0; p < HistorySample::kPhases; ++p) {
        s.currents[p] = amperes(q.value(1 + p));
        s.voltages[p] = q.value(4 + p).toInt();
    }
    s.pt100 = q.value(7).toInt();
    s.heating = q.value(8).toInt();
    s.faultCode = q.value(9).toInt();
    s.motorRunning = q.value(10).toInt() != 0;
    s.inputs = quint16(q.value(11).toUInt());
    s.outputs = quint16(q.value(12).toUInt());
    return s;
}

QVariant orNull(const QString &text) { return text.isEmpty() ? QVariant(QVariant::String) : QVariant(text); }

// An event's numbers in kEventValueColumns' order, NULL where absent; currents in mA as the samples'.
QVector<QVariant> eventValues(const HistoryEvent &e)
{
    QVector<QVariant> v(int(std::size(kEventValueColumns)), QVariant(QVariant::LongLong));
    if (e.startPeak)
        v[0] = milliamperes(*e.startPeak);
    if (e.phases) {
        for (int p = 0; p < HistorySample::kPhases; ++p) {
            v[1 + p] = milliamperes(e.phases->currents[p]);
            v[4 + p] = e.phases->voltages[p];
        }
    }
    return v;
}

// Columns as kSelectEvents: time, source, code, text, then the numbers.
HistoryEvent readEvent(const QSqlQuery &q)
{
    HistoryEvent e {q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toString()};
    if (!q.value(4).isNull())
        e.startPeak = amperes(q.value(4));
    if (!q.value(5).isNull()) {
        HistoryEvent::Phases p;
        for (int i = 0; i < HistorySample::kPhases; ++i) {
            p.currents[i] = amperes(q.value(5 + i));
            p.voltages[i] = q.value(8 + i).toInt();
        }
        e.phases = p;
    }
    return e;
}

} // namespace

HistoryStore::HistoryStore() : connectionName(nextConnectionName()) {}

HistoryStore::~HistoryStore() { close(); }

bool HistoryStore::fail(const QString &what, const QString &reason)
{
    lastError = what + QStringLiteral(": ") + reason;
    lastLocked = false;
    return false;
}

bool HistoryStore::fail(const QSqlError &e)
{
    fail(filePath, reasonOf(e));
    lastLocked = isLock(e);
    return false;
}

bool HistoryStore::exec(const QString &statement)
{
    QSqlQuery q(QSqlDatabase::database(connectionName, false));
    if (!q.exec(statement))
        return fail(q.lastError());
    return true;
}

bool HistoryStore::open(const QString &path, bool readOnly)
{
    close();
    filePath = path;
    readOnlyFile = readOnly;
    lastLocked = false;
    if (readOnly && !QFileInfo::exists(path))
        return fail(path, QStringLiteral("no such file"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                                 .arg(kBusyTimeoutMs)
                                 .arg(readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
        if (!db.open()) {
            const QString reason = reasonOf(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName);
            return fail(path, reason);
        }
    }
    opened = true;
    const int version = fileVersion = schemaVersion();
    QString reason;
    if (version < 0)
        reason = path + QStringLiteral(": ") + lastError.section(QStringLiteral(": "), 1);
    else if (version > kSchemaVersion)
        reason = QStringLiteral("%1: schema version %2 is newer than this program knows (%3); the file is left as it is")
                     .arg(path).arg(version).arg(kSchemaVersion);
    else if (version == 0 && readOnly)
        reason = path + QStringLiteral(": not a history database");
    else if (!readOnly && ((version == 0 && !createSchema()) || (version > 0 && version < kSchemaVersion && !upgrade())
                           || !exec(QStringLiteral("PRAGMA journal_mode = WAL"))
                           || !exec(QStringLiteral("BEGIN IMMEDIATE")) || !exec(QStringLiteral("COMMIT"))))
        reason = path + QStringLiteral(": ") + lastError.section(QStringLiteral(": "), 1);
    if (reason.isEmpty())
        return exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    close();
    lastError = reason;
    return false;
}

void HistoryStore::close()
{
    if (!opened && !QSqlDatabase::contains(connectionName))
        return;
    opened = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

int HistoryStore::schemaVersion()
{
    QSqlQuery q(QSqlDatabase::database(connectionName, false));
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        fail(q.lastError());
        return -1;
    }
    // A file that is not a database opens fine and fails at its first read.
    QSqlQuery check(QSqlDatabase::database(connectionName, false));
    if (!check.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        fail(check.lastError());
        return -1;
    }
    return q.value(0).toInt();
}

bool HistoryStore::createSchema()
{
    // auto_vacuum must be chosen before the first table exists.
    const QStringList statements = {
        QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL"),
        QStringLiteral("BEGIN IMMEDIATE"),
        QString::fromLatin1(kCreateDevice),
        QString::fromLatin1(kCreateSample),
        QStringLiteral("CREATE TABLE minute (device INTEGER NOT NULL, time INTEGER NOT NULL, ") + minuteColumns()
            + QStringLiteral("fault_code INTEGER, motor_running INTEGER, inputs INTEGER, outputs INTEGER, "
                             "count INTEGER, PRIMARY KEY (device, time)) WITHOUT ROWID"),
        QString::fromLatin1(kCreateEvent),
        QString::fromLatin1(kCreateOscillogram),
        QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion),
        QStringLiteral("COMMIT"),
    };
    for (const QString &s : statements) {
        if (!exec(s)) {
            QSqlQuery(QSqlDatabase::database(connectionName, false)).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    return true;
}

// Another program may upgrade the same file at the same moment: the version is read
// again once the write lock is held, and the work is done once.
bool HistoryStore::upgrade()
{
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    const int version = schemaVersion();
    bool ok = version == kSchemaVersion; // upgraded meanwhile
    if (version == 1) {
        ok = true;
        for (const char *column : kEventValueColumns)
            ok = ok && exec(QStringLiteral("ALTER TABLE event ADD COLUMN %1 INTEGER").arg(QLatin1String(column)));
        ok = ok && takeBackTexts() && exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
    }
    if (!ok || !exec(QStringLiteral("COMMIT"))) {
        QSqlQuery(QSqlDatabase::database(connectionName, false)).exec(QStringLiteral("ROLLBACK"));
        if (version > kSchemaVersion)
            fail(filePath, QStringLiteral("schema version %1 is newer than this program knows (%2)").arg(version).arg(kSchemaVersion));
        return false;
    }
    fileVersion = kSchemaVersion;
    return true;
}

// Version 1's texts become codes and numbers; a text not recognised stays, nothing is lost.
bool HistoryStore::takeBackTexts()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT device, time, source, code, text FROM event WHERE text IS NOT NULL")))
        return fail(rows.lastError());
    QVector<QPair<qint64, HistoryEvent>> known;
    while (rows.next()) {
        HistoryEvent e {rows.value(1).toLongLong(), rows.value(2).toInt(), rows.value(3).toInt(), rows.value(4).toString()};
        if (LegacyEventText::takeBack(e))
            known.append({rows.value(0).toLongLong(), e});
    }
    rows.finish();
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE event SET text = NULL, start_peak = ?, current_a = ?, current_b = ?, current_c = ?, "
                                  "voltage_a = ?, voltage_b = ?, voltage_c = ? "
                                  "WHERE device = ? AND time = ? AND source = ? AND code = ?"));
    for (const auto &row : known) {
        const HistoryEvent &e = row.second;
        for (const QVariant &v : eventValues(e))
            update.addBindValue(v);
        update.addBindValue(row.first);
        update.addBindValue(e.timeMs);
        update.addBindValue(e.source);
        update.addBindValue(e.code);
        if (!update.exec())
            return fail(update.lastError());
    }
    return true;
}

qint64 HistoryStore::deviceId(const QString &line, int address, const QString &identity, int currentScale)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO device (line, address, identity, current_scale) VALUES (?, ?, ?, ?)"));
    q.addBindValue(line);
    q.addBindValue(address);
    q.addBindValue(identity);
    q.addBindValue(currentScale);
    if (!q.exec())
        return fail(q.lastError()), 0;
    q.prepare(QStringLiteral("SELECT id FROM device WHERE line = ? AND address = ? AND identity = ?"));
    q.addBindValue(line);
    q.addBindValue(address);
    q.addBindValue(identity);
    if (!q.exec() || !q.next())
        return fail(q.lastError()), 0;
    return q.value(0).toLongLong();
}

// One transaction for the rows: all of them are kept, or none.
template <typename Row, typename Bind>
bool HistoryStore::insertAll(const QString &statement, const QVector<Row> &rows, Bind bind)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.transaction())
        return fail(db.lastError());
    QSqlQuery q(db);
    q.prepare(statement);
    for (const Row &row : rows) {
        bind(q, row);
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            db.rollback();
            return fail(error);
        }
    }
    if (!db.commit())
        return fail(db.lastError());
    return true;
}

bool HistoryStore::appendSamples(qint64 device, const QVector<HistorySample> &samples)
{
    return insertAll(QStringLiteral("INSERT OR REPLACE INTO sample VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                     samples, [device](QSqlQuery &q, const HistorySample &s) { bindSample(q, device, s); });
}

bool HistoryStore::appendEvents(qint64 device, const QVector<HistoryEvent> &events)
{
    return insertAll(QStringLiteral("INSERT OR IGNORE INTO event VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"), events,
                     [device](QSqlQuery &q, const HistoryEvent &e) {
                         q.addBindValue(device);
                         q.addBindValue(e.timeMs);
                         q.addBindValue(e.source);
                         q.addBindValue(e.code);
                         q.addBindValue(orNull(e.text));
                         for (const QVariant &v : eventValues(e))
                             q.addBindValue(v);
                     });
}

bool HistoryStore::appendOscillogram(qint64 device, const HistoryOscillogram &o)
{
    QSqlQuery q(QSqlDatabase::database(connectionName, false));
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO oscillogram (device, trip_time, fault_code, recorded, block) "
                             "VALUES (?, ?, ?, ?, ?)"));
    q.addBindValue(device);
    q.addBindValue(qint64(o.tripTime));
    q.addBindValue(o.faultCode);
    q.addBindValue(o.recordedMs);
    q.addBindValue(o.block);
    if (!q.exec())
        return fail(q.lastError());
    return true;
}

QVector<HistoryDevice> HistoryStore::devices()
{
    QVector<HistoryDevice> out;
    QSqlQuery q(QSqlDatabase::database(connectionName, false));
    // Each min/max is a look-up at one end of the (device, time) key.
    if (!q.exec(QStringLiteral(
            "SELECT id, line, address, identity, current_scale, "
            "min(coalesce((SELECT min(time) FROM minute WHERE device = id), 9e18), "
            "    coalesce((SELECT min(time) FROM sample WHERE device = id), 9e18)), "
            "max(coalesce((SELECT max(time) FROM minute WHERE device = id), 0), "
            "    coalesce((SELECT max(time) FROM sample WHERE device = id), 0)) "
            "FROM device ORDER BY line, address, id"))) {
        fail(q.lastError());
        return out;
    }
    while (q.next()) {
        HistoryDevice d;
        d.id = q.value(0).toLongLong();
        d.line = q.value(1).toString();
        d.address = q.value(2).toInt();
        d.identity = q.value(3).toString();
        d.currentScale = q.value(4).toInt();
        d.lastMs = q.value(6).toLongLong();
        d.firstMs = d.lastMs == 0 ? 0 : q.value(5).toLongLong();
        out.append(d);
    }
    return out;
}

QVector<HistorySample> HistoryStore::samples(qint64 device, qint64 fromMs, qint64 toMs)
{
    QVector<HistorySample> out;
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    // A day at 1 Hz is 86400 rows of 13 columns: read straight from SQLite's statement
    // where the driver hands its handle out, a QVariant per value costs twice the time budget.
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        if (sqlite3 *h = *static_cast<sqlite3 *const *>(handle.constData()))
            return nativeSamples(h, device, fromMs, toMs);
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QString::fromLatin1(kSelectSamples));
    q.bindValue(0, device);
    q.bindValue(1, fromMs);
    q.bindValue(2, toMs);
    q.bindValue(3, device);
    q.bindValue(4, device);
    q.bindValue(5, fromMs);
    q.bindValue(6, toMs);
    if (!q.exec()) {
        fail(q.lastError());
        return out;
    }
    while (q.next())
        out.append(readSample(q));
    return out;
}

QVector<HistorySample> HistoryStore::nativeSamples(sqlite3 *h, qint64 device, qint64 fromMs, qint64 toMs)
{
    QVector<HistorySample> out;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(h, kSelectSamples, -1, &st, nullptr) != SQLITE_OK) {
        fail(filePath, QString::fromUtf8(sqlite3_errmsg(h)));
        return out;
    }
    const qint64 binds[] = {device, fromMs, toMs, device, device, fromMs, toMs};
    for (int i = 0; i < int(std::size(binds)); ++i)
        sqlite3_bind_int64(st, i + 1, binds[i]);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        HistorySample s;
        s.timeMs = sqlite3_column_int64(st, 0);
        for (int p = 0; p < HistorySample::kPhases; ++p) {
            s.currents[p] = sqlite3_column_int64(st, 1 + p) / 1000.0;
            s.voltages[p] = sqlite3_column_int(st, 4 + p);
        }
        s.pt100 = sqlite3_column_int(st, 7);
        s.heating = sqlite3_column_int(st, 8);
        s.faultCode = sqlite3_column_int(st, 9);
        s.motorRunning = sqlite3_column_int(st, 10) != 0;
        s.inputs = quint16(sqlite3_column_int(st, 11));
        s.outputs = quint16(sqlite3_column_int(st, 12));
        out.append(s);
    }
    if (rc != SQLITE_DONE)
        fail(filePath, QString::fromUtf8(sqlite3_errmsg(h)));
    sqlite3_finalize(st);
    return out;
}

QVector<HistoryEvent> HistoryStore::events(qint64 device, qint64 fromMs, qint64 toMs)
{
    QVector<HistoryEvent> out;
    // A file of version 1 open for reading only is read as an upgrade would leave it; it
    // may have been upgraded by a writer since it was opened.
    if (fileVersion < kSchemaVersion && (fileVersion = schemaVersion()) < 0)
        return out;
    const bool legacy = fileVersion < kSchemaVersion;
    QSqlQuery q(QSqlDatabase::database(connectionName, false));
    q.prepare(QString::fromLatin1(legacy ? kSelectEventsV1 : kSelectEvents));
    q.addBindValue(device);
    q.addBindValue(fromMs);
    q.addBindValue(toMs);
    if (!q.exec()) {
        fail(q.lastError());
        return out;
    }
    while (q.next()) {
        if (!legacy) {
            out.append(readEvent(q));
            continue;
        }
        HistoryEvent e {q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toString()};
        LegacyEventText::takeBack(e);
        out.append(e);
    }
    return out;
}

QVector<HistoryOscillogram> HistoryStore::oscillograms(qint64 device)
{
    QVector<HistoryOscillogram> out;
    QSqlQuery q(QSqlDatabase::database(connectionName, false));
    q.prepare(QStringLiteral("SELECT id, trip_time, fault_code, recorded FROM oscillogram WHERE device = ? "
                             "ORDER BY trip_time, id"));
    q.addBindValue(device);
    if (!q.exec()) {
        fail(q.lastError());
        return out;
    }
    while (q.next())
        out.append({q.value(0).toLongLong(), quint32(q.value(1).toLongLong()), q.value(2).toInt(),
                    q.value(3).toLongLong(), QByteArray()});
    return out;
}

bool HistoryStore::oscillogram(qint64 id, HistoryOscillogram &out)
{
    QSqlQuery q(QSqlDatabase::database(connectionName, false));
    q.prepare(QStringLiteral("SELECT id, trip_time, fault_code, recorded, block FROM oscillogram WHERE id = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return fail(q.lastError());
    if (!q.next())
        return fail(filePath, QStringLiteral("no oscillogram %1").arg(id));
    out = {q.value(0).toLongLong(), quint32(q.value(1).toLongLong()), q.value(2).toInt(), q.value(3).toLongLong(),
           q.value(4).toByteArray()};
    return true;
}

bool HistoryStore::applyRetention(qint64 nowMs, int fullDays, int minuteDays)
{
    // On a minute's boundary, so that every minute is summed whole, once.
    const qint64 fullCut = (nowMs - fullDays * kDayMs) / kMinuteMs * kMinuteMs;
    const qint64 minuteCut = nowMs - qint64(minuteDays) * kDayMs;
    const QStringList statements = {
        QStringLiteral("BEGIN IMMEDIATE"),
        QStringLiteral("INSERT OR IGNORE INTO minute SELECT device, time / 60000 * 60000, ") + minuteAggregates()
            + QStringLiteral("max(fault_code), max(motor_running), max(inputs), max(outputs), count(*) FROM sample "
                             "WHERE time < %1 GROUP BY device, time / 60000").arg(fullCut),
        QStringLiteral("DELETE FROM sample WHERE time < %1").arg(fullCut),
        QStringLiteral("DELETE FROM minute WHERE time < %1").arg(minuteCut),
        QStringLiteral("DELETE FROM event WHERE time < %1").arg(minuteCut),
        QStringLiteral("DELETE FROM oscillogram WHERE recorded < %1").arg(minuteCut),
        QStringLiteral("COMMIT"),
    };
    for (const QString &s : statements) {
        if (!exec(s)) {
            QSqlQuery(QSqlDatabase::database(connectionName, false)).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    // The freed pages go back to the file system, and the WAL is folded in so that it shrinks too.
    // incremental_vacuum frees one page per step, and Qt steps a pragma once per exec:
    // it is run once for every free page.
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("PRAGMA freelist_count")) || !count.next())
        return fail(count.lastError());
    const int freePages = count.value(0).toInt();
    count.finish();
    QSqlQuery vacuum(db);
    vacuum.prepare(QStringLiteral("PRAGMA incremental_vacuum"));
    for (int i = 0; i < freePages; ++i) {
        if (!vacuum.exec())
            return fail(vacuum.lastError());
    }
    vacuum.finish();
    return exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}
