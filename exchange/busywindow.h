#pragma once

#include <QtGlobal>

#include <array>
#include <mutex>

// How long a line was busy (a request sent until its reply ended or timed out), in all
// and as a share of the last kWindowSeconds. A request still under way counts up to the
// moment asked, so that a line hung in one reads as busy before it ends. Busy time is
// kept in one-second slots: the share is right to within a second of the window. Times
// are a monotonic clock's nanoseconds; any thread may call.
class BusyWindow
{
public:
    static constexpr int kWindowSeconds = 60;

    // startNs: when the line began; while it is younger than the window, the share is of its age.
    explicit BusyWindow(qint64 startNs);

    // A request went out; one still open is taken as ended there.
    void begin(qint64 ns);
    // The request under way ended; nothing when none is.
    void end(qint64 ns);
    double ratio(qint64 nowNs) const;
    double totalSeconds(qint64 nowNs) const;

private:
    static constexpr qint64 kSlotNs = 1000000000;
    static constexpr int kSlots = kWindowSeconds + 1; // the window spans this many seconds at most

    void add(qint64 fromNs, qint64 toNs); // under lock

    mutable std::mutex lock;
    const qint64 startNs;
    qint64 openSinceNs = -1; // -1: no request under way
    qint64 totalNs = 0;
    std::array<qint64, kSlots> busyNs {};      // busy time within second slotSecond[i]
    std::array<qint64, kSlots> slotSecond {};  // which second each slot holds
};
