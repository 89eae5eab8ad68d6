#pragma once

#include <QtGlobal>

// How far the readings published for a device can be trusted: good; stale, when the
// last reading is older than the stale age (its line slow, or hung in a request); down,
// from a lost link until the next reading. since is the time it took its value: for
// stale, the moment the last reading grew too old, however late it was checked. Times
// are given twice: a monotonic clock's milliseconds for the ages, seconds since 1970 for
// since. Not thread-safe: its owner guards it.
class ReadingQuality
{
public:
    enum class Value { Unknown, Good, Stale, Down }; // Unknown: neither read nor lost yet

    explicit ReadingQuality(qint64 staleAfterMs);

    // Each true when the value changed.
    bool read(qint64 monotonicMs, double wallSeconds);
    bool lost(double wallSeconds);
    bool check(qint64 monotonicMs);

    Value value() const { return current; }
    double since() const { return sinceSeconds; }
    // "good", "stale", "down"; empty for Unknown.
    static const char *name(Value value);

private:
    bool become(Value value, double wallSeconds);

    qint64 staleAfterMs;
    Value current = Value::Unknown;
    double sinceSeconds = 0;
    qint64 readMs = 0;      // the last reading, monotonic
    double readSeconds = 0; // and since 1970
};
