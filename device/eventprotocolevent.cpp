#include "device/eventprotocolevent.h"

#include "device/eventdatav50.h"

#include <QCoreApplication>

namespace {

// Records from modification 50 on carry the start peak.
constexpr int kPeakVersion = 50;

} // namespace

EventProtocolEvent::EventProtocolEvent(std::unique_ptr<EventData> data)
    : ProtocolEvent(fromDeviceTime(data->time), WorkLog), record(std::move(data))
{
}

QString EventProtocolEvent::text() const
{
    return textOf(*record);
}

QString EventProtocolEvent::textOf(const EventData &record)
{
    switch (record.code) {
    case EventData::MotorStop:
        return QCoreApplication::translate("EventProtocolEvent", "Остановка двигателя");
    case EventData::MotorStart:
        return startText(record);
    default:
        return QString();
    }
}

QString EventProtocolEvent::startText(const EventData &record)
{
    const auto *withPeak = dynamic_cast<const EventDataV50 *>(&record);
    if (record.version() < kPeakVersion || !withPeak)
        return QCoreApplication::translate("EventProtocolEvent", "Пуск двигателя");
    const float peak = withPeak->startPeak;
    return QCoreApplication::translate("EventProtocolEvent",
                                       "Пуск двигателя (максимальная амплитуда тока при пуске %1А)")
        .arg(QString::number(double(peak), 'f', 1));
}
