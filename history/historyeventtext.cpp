#include "history/historyeventtext.h"

#include "device/appprotocolevent.h"
#include "device/eventdata.h"
#include "device/eventdatav50.h"
#include "device/eventprotocolevent.h"
#include "device/faulttext.h"
#include "history/historysample.h"

#include <QCoreApplication>

namespace {

int protocolCode(int linkCode)
{
    switch (linkCode) {
    case HistoryEvent::LinkLost: return AppProtocolEvent::LinkLost;
    case HistoryEvent::LinkRestored: return AppProtocolEvent::LinkRestored;
    default: return -1; // no text
    }
}

QString tripText(const HistoryEvent &e)
{
    // A code the device does not document still says which it was.
    const QString fault = faultText(e.code).isEmpty() ? QString::number(e.code) : faultText(e.code);
    if (!e.phases)
        return fault;
    const HistoryEvent::Phases &p = *e.phases;
    return QCoreApplication::translate("HistoryEventText", "%1 (%2 / %3 / %4 А, %5 / %6 / %7 В)")
        .arg(fault, QString::number(p.currents[0], 'f', 1), QString::number(p.currents[1], 'f', 1),
             QString::number(p.currents[2], 'f', 1), QString::number(p.voltages[0]), QString::number(p.voltages[1]),
             QString::number(p.voltages[2]));
}

} // namespace

QString HistoryEventText::text(const HistoryEvent &e)
{
    if (!e.text.isEmpty())
        return e.text;
    switch (e.source) {
    case HistoryEvent::Link:
        return AppProtocolEvent::textOf(protocolCode(e.code));
    case HistoryEvent::WorkLog:
        // A record with its start peak is one of a log that keeps them.
        return e.startPeak ? EventProtocolEvent::textOf(EventDataV50(e.code, 0, float(*e.startPeak)))
                           : EventProtocolEvent::textOf(EventData(e.code, 0));
    case HistoryEvent::CrashLog:
        return tripText(e);
    default:
        return QString();
    }
}
