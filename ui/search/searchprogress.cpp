#include "ui/search/searchprogress.h"

#include "exchange/protocoltiming.h"

#include <QtMath>

namespace {
constexpr int kRequestBytes = 8;  // a read of the identification registers
constexpr int kBitsPerByte = 11;  // start, 8 data, parity or a second stop, stop
constexpr qint64 kMinutesOnlyAboveS = 600;
constexpr qint64 kSecondsStep = 5; // above a minute the seconds move in fives, not every probe
} // namespace

int SearchProgress::probeCostMs(const ProtocolTiming &timing, quint32 baudRate)
{
    const int onLine = baudRate > 0 ? qCeil(kRequestBytes * kBitsPerByte * 1000.0 / baudRate) : 0;
    return onLine + timing.probeTimeout(baudRate) + timing.extraPauseMs;
}

void SearchProgress::start(int done, int total, int probeMs, qint64 nowMs)
{
    startDone = done;
    scanTotal = total;
    priorMs = probeMs;
    startMs = nowMs;
}

qint64 SearchProgress::remainingMs(int done, qint64 nowMs) const
{
    const qint64 left = qMax(0, scanTotal - done);
    const qint64 doneHere = qMax(0, done - startDone);
    const qint64 elapsed = qMax<qint64>(0, nowMs - startMs);
    // The mean time of a probe, with the probe time weighing as kPriorProbes probes.
    return left * (qint64(priorMs) * kPriorProbes + elapsed) / (kPriorProbes + doneHere);
}

QString SearchProgress::runningText(int done, qint64 nowMs) const
{
    return tr("Опрошено %1 из %2, осталось около %3")
        .arg(done)
        .arg(scanTotal)
        .arg(durationText(remainingMs(done, nowMs)));
}

QString SearchProgress::endedText(int done, int total)
{
    return tr("Опрошено %1 из %2").arg(done).arg(total);
}

QString SearchProgress::plannedText(int total, int probeMs)
{
    return tr("Полный поиск: опросов — %1, около %2").arg(total).arg(durationText(qint64(total) * probeMs));
}

QString SearchProgress::durationText(qint64 ms)
{
    qint64 s = (ms + 999) / 1000;
    if (s < 60)
        return tr("%1 с").arg(s);
    if (s > kMinutesOnlyAboveS)
        return tr("%1 мин").arg((s + 59) / 60);
    s = (s + kSecondsStep - 1) / kSecondsStep * kSecondsStep;
    return s % 60 == 0 ? tr("%1 мин").arg(s / 60) : tr("%1 мин %2 с").arg(s / 60).arg(s % 60);
}
