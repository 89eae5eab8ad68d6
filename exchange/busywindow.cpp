#include "exchange/busywindow.h"

#include <algorithm>

namespace {

qint64 overlap(qint64 from, qint64 to, qint64 windowFrom, qint64 windowTo)
{
    return std::max<qint64>(0, std::min(to, windowTo) - std::max(from, windowFrom));
}

} // namespace

BusyWindow::BusyWindow(qint64 startNs)
    : startNs(startNs)
{
    slotSecond.fill(-1);
}

void BusyWindow::begin(qint64 ns)
{
    std::lock_guard<std::mutex> guard(lock);
    if (openSinceNs >= 0)
        add(openSinceNs, ns);
    openSinceNs = ns;
}

void BusyWindow::end(qint64 ns)
{
    std::lock_guard<std::mutex> guard(lock);
    if (openSinceNs < 0)
        return;
    add(openSinceNs, ns);
    openSinceNs = -1;
}

void BusyWindow::add(qint64 fromNs, qint64 toNs)
{
    if (toNs <= fromNs)
        return;
    totalNs += toNs - fromNs;
    for (qint64 second = fromNs / kSlotNs; second * kSlotNs < toNs; ++second) {
        const int slot = int(second % kSlots);
        if (slotSecond[slot] != second) {
            slotSecond[slot] = second;
            busyNs[slot] = 0;
        }
        busyNs[slot] += overlap(fromNs, toNs, second * kSlotNs, (second + 1) * kSlotNs);
    }
}

// The oldest slot, partly in the window, counts in proportion: its busy time is taken
// as spread over its second (the newest, up to the moment asked).
double BusyWindow::ratio(qint64 nowNs) const
{
    std::lock_guard<std::mutex> guard(lock);
    const qint64 from = std::max(startNs, nowNs - kWindowSeconds * kSlotNs);
    if (nowNs <= from)
        return 0;
    double busy = 0;
    for (int i = 0; i < kSlots; ++i) {
        const qint64 slotFrom = slotSecond[i] * kSlotNs;
        const qint64 slotNs = std::min(slotFrom + kSlotNs, nowNs) - slotFrom;
        if (slotSecond[i] >= 0 && slotNs > 0)
            busy += double(busyNs[i]) * double(overlap(slotFrom, slotFrom + kSlotNs, from, nowNs)) / double(slotNs);
    }
    if (openSinceNs >= 0)
        busy += double(overlap(openSinceNs, nowNs, from, nowNs));
    return std::min(1.0, busy / double(nowNs - from));
}

double BusyWindow::totalSeconds(qint64 nowNs) const
{
    std::lock_guard<std::mutex> guard(lock);
    const qint64 open = openSinceNs >= 0 ? std::max<qint64>(0, nowNs - openSinceNs) : 0;
    return double(totalNs + open) / double(kSlotNs);
}
