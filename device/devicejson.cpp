#include "device/devicejson.h"

#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/currentscale.h"
#include "device/deviceinfo.h"
#include "device/faulttext.h"
#include "device/watchdatapacket80.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonArray triple(double a, double b, double c)
{
    return QJsonArray {a, b, c};
}

} // namespace

QJsonObject DeviceJson::monitoring(const WatchDataPacket &p, const CurrentScale &scale)
{
    QJsonObject o {
        {QStringLiteral("calculatedHeating"), p.calculatedHeating()},
        {QStringLiteral("faultCode"), p.faultCode()},
        {QStringLiteral("alarm"), p.alarmText()},
        {QStringLiteral("inputs"), p.inputs()},
        {QStringLiteral("outputs"), p.outputs()},
        {QStringLiteral("motorRunning"), p.motorRunning()},
        {QStringLiteral("ptcState"), p.ptcState()},
        {QStringLiteral("humidityState"), p.humidityState()},
        {QStringLiteral("pt100Temperature"), p.pt100Temperature()},
        {QStringLiteral("phaseCurrents"), triple(p.phaseCurrentAmperes(0, scale), p.phaseCurrentAmperes(1, scale),
                                                 p.phaseCurrentAmperes(2, scale))},
        {QStringLiteral("phaseCurrentsRaw"), triple(p.phaseCurrent(0), p.phaseCurrent(1), p.phaseCurrent(2))},
        {QStringLiteral("phaseVoltages"), triple(p.phaseVoltage(0), p.phaseVoltage(1), p.phaseVoltage(2))},
        {QStringLiteral("deviceTime"), double(p.deviceTime())},
        {QStringLiteral("motorHours"), p.motorHours()},
    };
    if (const auto *p80 = dynamic_cast<const WatchDataPacket80 *>(&p))
        o.insert(QStringLiteral("startCount"), double(p80->startCount()));
    return o;
}

QJsonObject DeviceJson::oscillogram(const CrashOscillogramPacket &block)
{
    QJsonArray samples;
    for (int c = 0; c < CrashOscillogramPacket::kChannels; ++c) {
        QJsonArray channel;
        for (int k = 0; k < CrashOscillogramPacket::kSamples; ++k)
            channel.append(block.rawSample(c, k));
        samples.append(channel);
    }
    return {{QStringLiteral("faultCode"), block.faultCode()},
            {QStringLiteral("text"), faultText(block.faultCode())},
            {QStringLiteral("tripTime"), qint64(block.tripTime())},
            {QStringLiteral("currentScale"), block.currentScaleWord()},
            {QStringLiteral("voltageScale"), block.voltageScaleWord()},
            {QStringLiteral("samples"), samples}};
}

QJsonObject DeviceJson::identity(const DeviceInfo &d)
{
    return {{QStringLiteral("modification"), d.modification},
            {QStringLiteral("currentScale"), d.currentScale},
            {QStringLiteral("minRatedCurrent"), double(d.minRatedCurrent)},
            {QStringLiteral("maxRatedCurrent"), double(d.maxRatedCurrent)},
            {QStringLiteral("baud"), d.baudRate},
            {QStringLiteral("format"), DeviceInfo::formatLabel(d.frameFormat)}};
}

QJsonObject DeviceJson::crashRecord(const CrashRecord &r)
{
    return {{QStringLiteral("faultCode"), r.code},
            {QStringLiteral("text"), faultText(r.code)},
            {QStringLiteral("tripTime"), double(r.time)},
            {QStringLiteral("currents"), triple(r.currents[0], r.currents[1], r.currents[2])},
            {QStringLiteral("voltages"), triple(r.voltages[0], r.voltages[1], r.voltages[2])}};
}

QByteArray DeviceJson::compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
