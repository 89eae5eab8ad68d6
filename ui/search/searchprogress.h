#pragma once

#include <QCoreApplication>
#include <QString>

struct ProtocolTiming;

// What the search tab says beside its progress bar: the probes done of the scan's
// total and the time left, from the pace of this run. Until the run has its own pace
// the time a probe without answer costs stands in for it, so that the user knows
// before waiting how long a search of a line takes.
class SearchProgress
{
    Q_DECLARE_TR_FUNCTIONS(SearchProgress)

public:
    // The probe time counts as this many probes of the run until they are done: the
    // first answers of a line full of devices come quickly, the rest do not.
    static constexpr int kPriorProbes = 5;

    // What a probe without answer costs at this speed: the request on the line, the
    // time-out and the pause before each request.
    static int probeCostMs(const ProtocolTiming &timing, quint32 baudRate);

    // A run starts with done probes of total already made (a continued scan), at nowMs.
    void start(int done, int total, int probeMs, qint64 nowMs);
    qint64 remainingMs(int done, qint64 nowMs) const;
    // "Опрошено 120 из 741, осталось около 4 мин 5 с".
    QString runningText(int done, qint64 nowMs) const;
    // A run ended or stopped: the probes done alone.
    static QString endedText(int done, int total);
    // Before a search: how long a whole one takes.
    static QString plannedText(int total, int probeMs);
    // "7 с", "4 мин 5 с", above ten minutes "12 мин": seconds rounded up.
    static QString durationText(qint64 ms);

private:
    int startDone = 0;
    int scanTotal = 0;
    int priorMs = 0;
    qint64 startMs = 0;
};
