#pragma once

#include "history/historysample.h"

#include <QString>
#include <QVector>

class QSqlError;
struct sqlite3;

// The history database: every sample, log entry, link note and oscillogram of the
// devices the program talked to, in one SQLite file (WAL journal, versioned schema,
// see docs/history.md). One object is used from one thread; several objects, in
// one process or several, may share a file: writers wait for each other up to the
// busy timeout. Nothing here throws or stops the program: a failure returns false
// and leaves its reason in error().
class HistoryStore
{
public:
    static constexpr int kSchemaVersion = 2; // 2: events keep codes and numbers, not text
    static constexpr const char *kFileName = "history.sqlite";
    static constexpr int kBusyTimeoutMs = 5000;
    static constexpr qint64 kMinuteMs = 60 * 1000;
    static constexpr qint64 kDayMs = 24 * 3600 * 1000LL;

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens or creates the file. readOnly opens an existing file for reading only.
    // A file of a newer schema is refused and left as it is; one of an older schema is
    // upgraded, unless readOnly: it is then read as the upgrade would leave it.
    bool open(const QString &path, bool readOnly = false);
    void close();
    bool isOpen() const { return opened; }
    const QString &error() const { return lastError; }
    // The last failure was another connection's lock outlasting the busy timeout: the
    // same call may succeed later.
    bool locked() const { return lastLocked; }
    int schemaVersion();

    // The store's number for a device, made on first sight; 0 on a failure.
    qint64 deviceId(const QString &line, int address, const QString &identity, int currentScale);
    // Each batch goes in one transaction: all of it or none.
    bool appendSamples(qint64 device, const QVector<HistorySample> &samples);
    // Entries already held (same device, source, time and code) are skipped.
    bool appendEvents(qint64 device, const QVector<HistoryEvent> &events);
    // An oscillogram already held (same trip time and fault code) is skipped.
    bool appendOscillogram(qint64 device, const HistoryOscillogram &oscillogram);

    QVector<HistoryDevice> devices();
    // Samples with fromMs <= time <= toMs, oldest first: full resolution where it is
    // held, the minute means before it.
    QVector<HistorySample> samples(qint64 device, qint64 fromMs, qint64 toMs);
    QVector<HistoryEvent> events(qint64 device, qint64 fromMs, qint64 toMs);
    // Without their blocks; oscillogram() gives one whole.
    QVector<HistoryOscillogram> oscillograms(qint64 device);
    bool oscillogram(qint64 id, HistoryOscillogram &out);

    // Samples older than fullDays become one row a minute (minimum, mean, maximum);
    // minute rows, events and oscillograms older than minuteDays go; the file gives
    // the freed pages back. nowMs is injectable for tests.
    bool applyRetention(qint64 nowMs, int fullDays, int minuteDays);

private:
    QVector<HistorySample> nativeSamples(sqlite3 *handle, qint64 device, qint64 fromMs, qint64 toMs);
    bool createSchema();
    bool upgrade();
    bool takeBackTexts();
    bool exec(const QString &statement);
    bool fail(const QString &what, const QString &reason);
    bool fail(const QSqlError &error);
    template <typename Row, typename Bind>
    bool insertAll(const QString &statement, const QVector<Row> &rows, Bind bind);

    QString connectionName;
    QString lastError;
    QString filePath; // failures name it
    bool opened = false;
    bool lastLocked = false;
    bool readOnlyFile = false;
    int fileVersion = 0; // the open file's schema version
};
