#include "history/legacyeventtext.h"

#include "device/eventdata.h"
#include "history/historysample.h"

#include <QRegularExpression>

namespace {

struct LegacyText
{
    int source;
    int code;
    const char *text; // UTF-8
};

// What that recorder wrote, in Russian whatever the window's language.
const LegacyText kLegacyTexts[] = {
    {HistoryEvent::WorkLog, EventData::MotorStop, "Останов двигателя"},
    {HistoryEvent::WorkLog, EventData::MotorStart, "Пуск двигателя"},
    {HistoryEvent::Link, HistoryEvent::LinkLost, "Связь потеряна"},
    {HistoryEvent::Link, HistoryEvent::LinkRestored, "Связь восстановлена"},
};

// A trip: the fault's words, in the language of the window that wrote them, then the
// phase values. The words are the code's own, and the code is in its column.
const QRegularExpression &legacyTrip()
{
    static const QRegularExpression trip(QStringLiteral(
        R"(^.* \((\d+\.\d) / (\d+\.\d) / (\d+\.\d) A, (\d+) / (\d+) / (\d+) V\)$)"));
    return trip;
}

} // namespace

bool LegacyEventText::takeBack(HistoryEvent &event)
{
    if (event.text.isEmpty())
        return true;
    if (event.source == HistoryEvent::CrashLog) {
        const QRegularExpressionMatch m = legacyTrip().match(event.text);
        if (!m.hasMatch())
            return false;
        HistoryEvent::Phases phases;
        for (int p = 0; p < HistorySample::kPhases; ++p) {
            phases.currents[p] = m.captured(1 + p).toDouble();
            phases.voltages[p] = m.captured(4 + p).toInt();
        }
        event.phases = phases;
        event.text.clear();
        return true;
    }
    for (const LegacyText &t : kLegacyTexts) {
        if (t.source == event.source && t.code == event.code && event.text == QString::fromUtf8(t.text)) {
            event.text.clear();
            return true;
        }
    }
    return false;
}
