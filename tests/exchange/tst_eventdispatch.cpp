// Each event reaches the handler of its own class; one without a payload, or a bare
// event made with a payload's code, reaches the base class's: never a wrong cast.
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/packetfactory.h"
#include "device/protocolpacket.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "device/watchdatapacket.h"
#include "exchange/eventdispatch.h"

#include <QtTest>

#include <functional>

using MakeDataEvent = std::function<std::unique_ptr<DataEvent>()>;
using MakeSearchEvent = std::function<std::unique_ptr<SearchEvent>()>;
Q_DECLARE_METATYPE(MakeDataEvent)
Q_DECLARE_METATYPE(MakeSearchEvent)

namespace {

QString handlerOf(const DataEvent &event)
{
    return EventDispatch::visit(event, EventHandlers {
        [](const DataEventGet &) { return QStringLiteral("monitoring"); },
        [](const DataEventError &e) { return QStringLiteral("error %1").arg(e.error()); },
        [](const DataEventGetProtocol &) { return QStringLiteral("logs"); },
        [](const ConfigEvent &e) { return QStringLiteral("configuration %1").arg(e.result()); },
        [](const RunConfigEventGet &) { return QStringLiteral("start characteristic"); },
        [](const RunConfigEventProgress &) { return QStringLiteral("auto-setup progress"); },
        [](const CrashEventOscillogramGet &) { return QStringLiteral("oscillogram"); },
        [](const ChangeAutoConfigState &e) { return QStringLiteral("auto-setup state %1").arg(e.newState()); },
        [](const TrafficEvent &) { return QStringLiteral("frame"); },
        [](const LinkStatisticsEvent &) { return QStringLiteral("statistics"); },
        [](const DataEvent &e) { return QStringLiteral("base %1").arg(e.type()); }});
}

QString handlerOf(const SearchEvent &event)
{
    return EventDispatch::visit(event, EventHandlers {
        [](const SearchEventFound &e) { return QStringLiteral("found %1").arg(e.device().address); },
        [](const SearchEventError &e) { return QStringLiteral("error %1").arg(e.error()); },
        [](const SearchEvent &e) { return QStringLiteral("base %1").arg(e.type()); }});
}

} // namespace

class TestEventDispatch : public QObject
{
    Q_OBJECT
private slots:
    void dataEventReachesItsClass_data();
    void dataEventReachesItsClass();
    void searchEventReachesItsClass_data();
    void searchEventReachesItsClass();
};

void TestEventDispatch::dataEventReachesItsClass_data()
{
    QTest::addColumn<MakeDataEvent>("make");
    QTest::addColumn<QString>("handler");
    const auto row = [](const char *name, MakeDataEvent make, const char *handler) {
        QTest::newRow(name) << make << QString::fromLatin1(handler);
    };
    row("monitoring", [] { return std::make_unique<DataEventGet>(*PacketFactory::monitoring(70)); }, "monitoring");
    row("error", [] { return std::make_unique<DataEventError>(DataEventError::LinkLost); }, "error 2");
    row("logs", [] { return std::make_unique<DataEventGetProtocol>(ProtocolPacket(), CrashProtocolPacket(2)); },
        "logs");
    row("configuration",
        [] { return std::make_unique<ConfigEvent>(*PacketFactory::configuration(70), ConfigEvent::Written); },
        "configuration 2");
    row("start characteristic", [] { return std::make_unique<RunConfigEventGet>(RunConfigPacket(2)); },
        "start characteristic");
    row("auto-setup progress", [] { return std::make_unique<RunConfigEventProgress>(RunConfigProgressPacket()); },
        "auto-setup progress");
    row("oscillogram", [] { return std::make_unique<CrashEventOscillogramGet>(CrashOscillogramPacket()); },
        "oscillogram");
    row("auto-setup state", [] { return std::make_unique<ChangeAutoConfigState>(0, 3); }, "auto-setup state 3");
    row("frame", [] { return std::make_unique<TrafficEvent>(FrameRecord()); }, "frame");
    row("statistics", [] { return std::make_unique<LinkStatisticsEvent>(LinkStatistics()); }, "statistics");
    row("connected", [] { return std::make_unique<DataEvent>(DataEvent::Connected); }, "base 1");
    row("work time reset", [] { return std::make_unique<DataEvent>(DataEvent::WorkTimeReset); }, "base 13");
    row("bare configuration code", [] { return std::make_unique<DataEvent>(DataEvent::Config); }, "base 6");
    row("bare statistics code", [] { return std::make_unique<DataEvent>(DataEvent::LinkStatistics); }, "base 20");
    row("unknown code", [] { return std::make_unique<DataEvent>(DataEvent::Type(99)); }, "base 99");
}

void TestEventDispatch::dataEventReachesItsClass()
{
    QFETCH(MakeDataEvent, make);
    QTEST(handlerOf(*make()), "handler");
}

void TestEventDispatch::searchEventReachesItsClass_data()
{
    QTest::addColumn<MakeSearchEvent>("make");
    QTest::addColumn<QString>("handler");
    DeviceInfo device;
    device.address = 17;
    QTest::newRow("found") << MakeSearchEvent([device] { return std::make_unique<SearchEventFound>(device); })
                           << QString("found 17");
    QTest::newRow("error") << MakeSearchEvent([] { return std::make_unique<SearchEventError>(1); })
                           << QString("error 1");
    QTest::newRow("progress") << MakeSearchEvent([] { return std::make_unique<SearchEvent>(SearchEvent::Progress); })
                              << QString("base 5");
    QTest::newRow("bare found code")
        << MakeSearchEvent([] { return std::make_unique<SearchEvent>(SearchEvent::Found); }) << QString("base 2");
}

void TestEventDispatch::searchEventReachesItsClass()
{
    QFETCH(MakeSearchEvent, make);
    QTEST(handlerOf(*make()), "handler");
}

QTEST_GUILESS_MAIN(TestEventDispatch)
#include "tst_eventdispatch.moc"
