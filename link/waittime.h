#pragma once

#include <QtGlobal>

// Waits of the platform's calls that count in milliseconds.
namespace WaitTime {

// Up in whole milliseconds, so that a wait shorter than one still waits.
inline int roundUpMs(qint64 ns)
{
    constexpr qint64 kNsPerMs = 1000000;
    return ns <= 0 ? 0 : int(qMin<qint64>((ns + kNsPerMs - 1) / kNsPerMs, 1 << 30));
}

} // namespace WaitTime
