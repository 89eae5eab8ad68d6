#include "gateway/readingquality.h"

ReadingQuality::ReadingQuality(qint64 staleAfterMs)
    : staleAfterMs(staleAfterMs)
{
}

bool ReadingQuality::read(qint64 monotonicMs, double wallSeconds)
{
    readMs = monotonicMs;
    readSeconds = wallSeconds;
    return become(Value::Good, wallSeconds);
}

bool ReadingQuality::lost(double wallSeconds)
{
    return become(Value::Down, wallSeconds);
}

// Only good readings grow stale: a link down says more than their age.
bool ReadingQuality::check(qint64 monotonicMs)
{
    if (current != Value::Good || monotonicMs - readMs <= staleAfterMs)
        return false;
    return become(Value::Stale, readSeconds + double(staleAfterMs) / 1000.0);
}

bool ReadingQuality::become(Value value, double wallSeconds)
{
    if (value == current)
        return false;
    current = value;
    sinceSeconds = wallSeconds;
    return true;
}

const char *ReadingQuality::name(Value value)
{
    switch (value) {
    case Value::Unknown: return "";
    case Value::Good: return "good";
    case Value::Stale: return "stale";
    case Value::Down: return "down";
    }
    return "";
}
