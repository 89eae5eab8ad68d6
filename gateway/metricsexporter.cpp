#include "gateway/metricsexporter.h"

#include "device/currentscale.h"
#include "device/watchdatapacket.h"

#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <exception>

namespace {

using prometheus::Labels;

prometheus::Family<prometheus::Gauge> &gauge(prometheus::Registry &r, const char *name, const char *help)
{
    return prometheus::BuildGauge().Name(name).Help(help).Register(r);
}

Labels device(const QString &line, int address)
{
    return {{"line", line.toStdString()}, {"address", std::to_string(address)}};
}

Labels phase(const QString &line, int address, int p)
{
    Labels l = device(line, address);
    l.emplace("phase", std::string(1, char('A' + p)));
    return l;
}

} // namespace

MetricsExporter::MetricsExporter()
    : registry(std::make_shared<prometheus::Registry>())
    , current(gauge(*registry, "orbix_phase_current_amperes", "Phase current of the motor"))
    , voltage(gauge(*registry, "orbix_phase_voltage_volts", "Phase voltage"))
    , pt100(gauge(*registry, "orbix_pt100_celsius", "PT100 temperature (-99 shorted, 999 open)"))
    , heating(gauge(*registry, "orbix_heating_percent", "Calculated heating of the motor"))
    , faultCode(gauge(*registry, "orbix_fault_code", "Fault code of the device, 0 when none"))
    , motorRunning(gauge(*registry, "orbix_motor_running", "1 while the motor runs"))
    , link(gauge(*registry, "orbix_link_up", "1 while the device answers"))
    , transactions(prometheus::BuildCounter()
                       .Name("orbix_transactions_total")
                       .Help("Device polls of a line, by result")
                       .Register(*registry))
    , outboxMessages(gauge(*registry, "orbix_outbox_messages", "Events waiting for the broker").Add({}))
    , outboxDropped(prometheus::BuildCounter()
                        .Name("orbix_outbox_dropped_total")
                        .Help("Events dropped from the full outbox, oldest first")
                        .Register(*registry)
                        .Add({}))
    , broker(gauge(*registry, "orbix_mqtt_connected", "1 while connected to the broker").Add({}))
{
}

MetricsExporter::~MetricsExporter() = default;

bool MetricsExporter::listen(const QString &hostPort, QString &error)
{
    try {
        exposer = std::make_unique<prometheus::Exposer>(hostPort.toStdString());
    } catch (const std::exception &e) {
        error = QStringLiteral("metrics cannot listen on %1: %2").arg(hostPort, QString::fromUtf8(e.what()));
        return false;
    }
    exposer->RegisterCollectable(registry);
    return true;
}

void MetricsExporter::monitoring(const QString &line, int address, const WatchDataPacket &p, const CurrentScale &scale)
{
    for (int k = 0; k < WatchDataPacket::kPhases; ++k) {
        current.Add(phase(line, address, k)).Set(p.phaseCurrentAmperes(k, scale));
        voltage.Add(phase(line, address, k)).Set(p.phaseVoltage(k));
    }
    const Labels l = device(line, address);
    pt100.Add(l).Set(p.pt100Temperature());
    heating.Add(l).Set(p.calculatedHeating());
    faultCode.Add(l).Set(p.faultCode());
    motorRunning.Add(l).Set(p.motorRunning() ? 1 : 0);
}

void MetricsExporter::linkUp(const QString &line, int address, bool up)
{
    link.Add(device(line, address)).Set(up ? 1 : 0);
}

void MetricsExporter::transaction(const QString &line, bool ok)
{
    transactions.Add({{"line", line.toStdString()}, {"result", ok ? "ok" : "failed"}}).Increment();
}

void MetricsExporter::outbox(int messages, quint64 droppedTotal)
{
    outboxMessages.Set(messages);
    if (double(droppedTotal) > outboxDropped.Value())
        outboxDropped.Increment(double(droppedTotal) - outboxDropped.Value());
}

void MetricsExporter::brokerConnected(bool connected)
{
    broker.Set(connected ? 1 : 0);
}
