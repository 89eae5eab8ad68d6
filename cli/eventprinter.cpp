#include "cli/eventprinter.h"

#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/currentscale.h"
#include "device/devicejson.h"
#include "device/eventdatav50.h"
#include "device/eventprotocolevent.h"
#include "device/faulttext.h"
#include "device/protocolpacket.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "device/watchdatapacket80.h"
#include "exchange/changeautoconfigstate.h"
#include "exchange/configevent.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/eventdispatch.h"
#include "exchange/linkstatisticsevent.h"
#include "exchange/runconfigeventget.h"
#include "exchange/runconfigeventprogress.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

namespace {

QString deviceTime(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

QJsonArray triple(double a, double b, double c)
{
    return QJsonArray {a, b, c};
}

// Amperes as the window shows them: the resolution the scale gives.
QString amperesText(const WatchDataPacket &p, const CurrentScale &scale)
{
    QStringList values;
    for (int phase = 0; phase < WatchDataPacket::kPhases; ++phase)
        values << scale.text(p.phaseCurrentAmperes(phase, scale));
    return values.join(QLatin1Char(' '));
}

QJsonArray workLog(const ProtocolPacket &log)
{
    QJsonArray records;
    for (int i = 0; i < 10; ++i) {
        std::unique_ptr<EventData> e = log.event(i);
        if (e->code == EventData::Empty)
            continue;
        QJsonObject r {{QStringLiteral("index"), i}, {QStringLiteral("code"), e->code},
                       {QStringLiteral("time"), double(e->time)}};
        if (const auto *v50 = dynamic_cast<const EventDataV50 *>(e.get()))
            r.insert(QStringLiteral("startPeak"), double(v50->startPeak));
        r.insert(QStringLiteral("text"), EventProtocolEvent(std::move(e)).text());
        records.append(r);
    }
    return records;
}

QJsonArray crashLog(const CrashProtocolPacket &log)
{
    QJsonArray records;
    for (int i = 0; i < CrashProtocolPacket::kRecords; ++i) {
        const CrashRecord r = log.record(i);
        if (r.code == 0)
            continue;
        records.append(QJsonObject {
            {QStringLiteral("index"), i}, {QStringLiteral("code"), r.code},
            {QStringLiteral("time"), double(r.time)}, {QStringLiteral("text"), faultText(r.code)},
            {QStringLiteral("currents"), triple(r.currents[0], r.currents[1], r.currents[2])},
            {QStringLiteral("voltages"), triple(r.voltages[0], r.voltages[1], r.voltages[2])}});
    }
    return records;
}

QJsonObject configuration(const ConfigEvent &e)
{
    QJsonArray words;
    for (ConfigFields::Id id : ConfigFields::fieldsOf(0)) // registers 5..29
        words.append(ConfigFields::value(*e.packet(), id));
    return {{QStringLiteral("result"), e.result()},
            {QStringLiteral("version"), e.packet()->version()},
            {QStringLiteral("words"), words}};
}

QJsonObject startCharacteristic(const RunConfigPacket &p)
{
    QJsonArray times;
    for (int i = 0; i < RunConfigPacket::kLevels; ++i)
        times.append(p.timeWord(i));
    return {{QStringLiteral("recordTime"), double(p.recordTime())},
            {QStringLiteral("baseCurrent"), p.baseCurrent()},
            {QStringLiteral("completeness"), p.completeness()},
            {QStringLiteral("timeWords"), times}};
}

QJsonObject payload(const DataEvent &event, const CurrentScale &scale)
{
    using J = QJsonObject;
    return EventDispatch::visit(event, EventHandlers {
        [&scale](const DataEventGet &e) -> J { return DeviceJson::monitoring(*e.packet(), scale); },
        [](const DataEventError &e) -> J { return {{QStringLiteral("error"), e.error()}}; },
        [](const DataEventGetProtocol &e) -> J {
            return {{QStringLiteral("protocol"), workLog(*e.protocol())},
                    {QStringLiteral("crashProtocol"), crashLog(*e.crashProtocol())}};
        },
        [](const ConfigEvent &e) -> J { return configuration(e); },
        [](const RunConfigEventGet &e) -> J { return startCharacteristic(*e.packet()); },
        [](const RunConfigEventProgress &e) -> J {
            const auto *p = e.packet();
            return {{QStringLiteral("state"), p->stateWord()}, {QStringLiteral("accumulation"), p->accumulation()},
                    {QStringLiteral("completeness"), p->completeness()}};
        },
        [](const CrashEventOscillogramGet &e) -> J {
            const auto *p = e.packet();
            return {{QStringLiteral("faultCode"), p->faultCode()}, {QStringLiteral("tripTime"), double(p->tripTime())},
                    {QStringLiteral("text"), faultText(p->faultCode())}};
        },
        [](const ChangeAutoConfigState &e) -> J {
            return {{QStringLiteral("oldState"), e.oldState()}, {QStringLiteral("newState"), e.newState()}};
        },
        [](const LinkStatisticsEvent &e) -> J { return EventPrinter::statistics(e.statistics()); },
        // Traffic is not printed; the rest carry nothing but their type.
        [](const DataEvent &) -> J { return {}; }});
}

QString monitoringText(const WatchDataPacket &p, const CurrentScale &scale)
{
    return QStringLiteral("heating %1% | %2 | I %3 A | U %4 %5 %6 V | PT100 %7 | outputs 0x%8 | motor %9 | %10 | %11 h")
        .arg(p.calculatedHeating())
        .arg(p.faultCode() ? QStringLiteral("fault %1 %2").arg(p.faultCode()).arg(p.alarmText()) : p.alarmText())
        .arg(amperesText(p, scale))
        .arg(p.phaseVoltage(0)).arg(p.phaseVoltage(1)).arg(p.phaseVoltage(2))
        .arg(p.pt100Temperature())
        .arg(p.outputs(), 4, 16, QLatin1Char('0'))
        .arg(p.motorRunning() ? QStringLiteral("running") : QStringLiteral("stopped"))
        .arg(deviceTime(p.deviceTime()))
        .arg(p.motorHours());
}

} // namespace

QJsonObject EventPrinter::statistics(const LinkStatistics &s)
{
    return {{QStringLiteral("requests"), double(s.requests)},
            {QStringLiteral("replies"), double(s.replies)},
            {QStringLiteral("timeouts"), double(s.timeouts)},
            {QStringLiteral("crcErrors"), double(s.crcErrors)},
            {QStringLiteral("exceptions"), double(s.exceptions)},
            {QStringLiteral("wrongAddress"), double(s.wrongAddress)},
            {QStringLiteral("lineErrors"), double(s.lineErrors)},
            {QStringLiteral("echoMismatches"), double(s.echoMismatches)},
            {QStringLiteral("discardedBytes"), double(s.discardedBytes)},
            {QStringLiteral("echoesSkipped"), double(s.echoesSkipped)},
            {QStringLiteral("meanResponseMs"), s.meanResponseMs()},
            {QStringLiteral("maxResponseMs"), double(s.maxResponseUs) / 1000.0}};
}

QString EventPrinter::typeName(int type)
{
    static const char *const names[] = {
        "monitoring", "connected", "disconnected", "error", "link restored", "logs", "configuration",
        "clock set", "clock not set", "crash log cleared", "crash log not cleared", "work log cleared",
        "work log not cleared", "running time reset", "running time not reset", "start characteristic",
        "auto-setup progress", "oscillogram", "auto-setup state", "frame", "statistics"};
    static_assert(sizeof names / sizeof *names == DataEvent::LinkStatistics + 1, "a name for every event type");
    return type >= 0 && type < int(sizeof names / sizeof *names) ? QString::fromLatin1(names[type]) : QString();
}

QJsonObject EventPrinter::json(const DataEvent &event, const CurrentScale &scale)
{
    QJsonObject o = payload(event, scale);
    o.insert(QStringLiteral("type"), event.type());
    return o;
}

QString EventPrinter::text(const DataEvent &event, const CurrentScale &scale)
{
    const QString head = QStringLiteral("%1 %2").arg(event.type(), 2).arg(typeName(event.type()));
    return EventDispatch::visit(event, EventHandlers {
        [&](const DataEventGet &e) -> QString {
            return head + QStringLiteral(": ") + monitoringText(*e.packet(), scale);
        },
        [&](const DataEvent &e) -> QString {
            const QJsonObject p = payload(e, scale);
            if (p.isEmpty())
                return head;
            return head + QStringLiteral(": ") + QString::fromUtf8(QJsonDocument(p).toJson(QJsonDocument::Compact));
        }});
}
