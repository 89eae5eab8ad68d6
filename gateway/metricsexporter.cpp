#include "gateway/metricsexporter.h"

#include "device/currentscale.h"
#include "device/watchdatapacket.h"

#include <CivetServer.h>
#include <prometheus/collectable.h>
#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <exception>
#include <string>
#include <vector>

namespace {

using prometheus::Labels;

// Percent of the device's heating register to a ratio.
constexpr double kHeatingFull = 100.0;

const char *const kPt100States[] = {"ok", "open", "shorted"};

prometheus::Family<prometheus::Gauge> &gauge(prometheus::Registry &r, const char *name, const char *help)
{
    return prometheus::BuildGauge().Name(name).Help(help).Register(r);
}

prometheus::Family<prometheus::Counter> &counter(prometheus::Registry &r, const char *name, const char *help)
{
    return prometheus::BuildCounter().Name(name).Help(help).Register(r);
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

Labels with(Labels l, const char *name, const char *value)
{
    l.emplace(name, value);
    return l;
}

template <typename T>
void remove(prometheus::Family<T> &family, const Labels &labels)
{
    if (family.Has(labels))
        family.Remove(&family.Add(labels));
}

// A counter brought up to a total kept elsewhere; totals never go back.
void advance(prometheus::Counter &c, quint64 total)
{
    if (double(total) > c.Value())
        c.Increment(double(total) - c.Value());
}

// Only /metrics is served (the server would hand it /metrics/anything too), and HEAD
// answers as GET does without the body (prometheus-cpp answers GET alone, a HEAD with
// 404); a request taken here returns its status, any other goes on to the server.
int screenRequest(mg_connection *connection)
{
    const mg_request_info *r = mg_get_request_info(connection);
    if (!r || !r->local_uri || !r->request_method)
        return 0;
    if (qstrcmp(r->local_uri, "/metrics") != 0) {
        mg_send_http_error(connection, 404, "Not Found");
        return 404;
    }
    if (qstrcmp(r->request_method, "HEAD") != 0)
        return 0;
    mg_printf(connection, "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n\r\n");
    return 200;
}

CivetCallbacks serverCallbacks()
{
    CivetCallbacks c;
    c.begin_request = screenRequest;
    return c;
}

const char *pt100StateOf(const WatchDataPacket &p)
{
    return p.pt100Open() ? "open" : p.pt100Shorted() ? "shorted" : "ok";
}

} // namespace

MetricsExporter::MetricsExporter()
    : registry(std::make_shared<prometheus::Registry>())
    , current(gauge(*registry, "orbix_phase_current_amperes", "Phase current of the motor"))
    , voltage(gauge(*registry, "orbix_phase_voltage_volts", "Phase voltage"))
    , pt100(gauge(*registry, "orbix_pt100_celsius", "PT100 temperature; absent while the sensor is open or shorted"))
    , pt100State(gauge(*registry, "orbix_pt100_state", "1 for the PT100 sensor's state: ok, open or shorted"))
    , heating(gauge(*registry, "orbix_heating_ratio", "Calculated heating of the motor, 1 at the trip level"))
    , faultCode(gauge(*registry, "orbix_fault_code", "Fault code of the device, 0 when none"))
    , motorRunning(gauge(*registry, "orbix_motor_running", "1 while the motor runs"))
    , link(gauge(*registry, "orbix_link_up", "1 while the device answers"))
    , visits(counter(*registry, "orbix_device_visits_total",
                     "Visits of the devices of a line (identification, monitoring, logs), by result"))
    , outboxMessages(gauge(*registry, "orbix_outbox_messages", "Events waiting for the broker").Add({}))
    , outboxDropped(counter(*registry, "orbix_outbox_dropped_total", "Events dropped from the full outbox, oldest first")
                        .Add({}))
    , outboxDamagedRecords(counter(*registry, "orbix_outbox_damaged_total",
                                   "Records of the outbox file found damaged and skipped").Add({}))
    , historyLostSamples(counter(*registry, "orbix_history_lost_samples_total",
                                 "Samples the history could not keep").Add({}))
    , broker(gauge(*registry, "orbix_mqtt_connected", "1 while connected to the broker").Add({}))
{
}

MetricsExporter::~MetricsExporter() = default;

namespace {

// The registry as the server collects it, with the figures that are read, not
// reported, set first.
class Refreshed : public prometheus::Collectable
{
public:
    Refreshed(std::shared_ptr<prometheus::Registry> registry, std::function<void()> refresh)
        : registry(std::move(registry))
        , refresh(std::move(refresh))
    {
    }
    std::vector<prometheus::MetricFamily> Collect() const override
    {
        if (refresh)
            refresh();
        return registry->Collect();
    }

private:
    const std::shared_ptr<prometheus::Registry> registry;
    const std::function<void()> refresh;
};

} // namespace

bool MetricsExporter::listen(const QString &hostPort, QString &error, std::function<void()> refresh)
{
    static const CivetCallbacks callbacks = serverCallbacks(); // the server copies them
    try {
        exposer = std::make_unique<prometheus::Exposer>(std::vector<std::string> {
            "listening_ports", hostPort.toStdString(),
            "num_threads", std::to_string(kServerThreads),
            "request_timeout_ms", std::to_string(kRequestTimeoutMs)}, &callbacks);
    } catch (const std::exception &e) {
        error = QStringLiteral("metrics cannot listen on %1: %2").arg(hostPort, QString::fromUtf8(e.what()));
        return false;
    }
    scraped = std::make_shared<Refreshed>(registry, std::move(refresh));
    exposer->RegisterCollectable(scraped);
    return true;
}

void MetricsExporter::addLine(const QString &line)
{
    for (const char *result : {"ok", "failed"})
        visits.Add({{"line", line.toStdString()}, {"result", result}});
}

void MetricsExporter::monitoring(const QString &line, int address, const WatchDataPacket &p, const CurrentScale &scale)
{
    for (int k = 0; k < WatchDataPacket::kPhases; ++k) {
        current.Add(phase(line, address, k)).Set(p.phaseCurrentAmperes(k, scale));
        voltage.Add(phase(line, address, k)).Set(p.phaseVoltage(k));
    }
    const Labels l = device(line, address);
    const char *state = pt100StateOf(p);
    for (const char *s : kPt100States)
        pt100State.Add(with(l, "state", s)).Set(qstrcmp(s, state) == 0 ? 1 : 0);
    if (qstrcmp(state, "ok") == 0)
        pt100.Add(l).Set(p.pt100Temperature());
    else
        remove(pt100, l); // -99 and 999 are no temperatures
    heating.Add(l).Set(p.calculatedHeating() / kHeatingFull);
    faultCode.Add(l).Set(p.faultCode());
    motorRunning.Add(l).Set(p.motorRunning() ? 1 : 0);
}

void MetricsExporter::removeValues(const QString &line, int address)
{
    for (int k = 0; k < WatchDataPacket::kPhases; ++k) {
        remove(current, phase(line, address, k));
        remove(voltage, phase(line, address, k));
    }
    const Labels l = device(line, address);
    for (const char *s : kPt100States)
        remove(pt100State, with(l, "state", s));
    for (prometheus::Family<prometheus::Gauge> *f : {&pt100, &heating, &faultCode, &motorRunning})
        remove(*f, l);
}

void MetricsExporter::linkUp(const QString &line, int address, bool up)
{
    link.Add(device(line, address)).Set(up ? 1 : 0);
    if (!up)
        removeValues(line, address);
}

void MetricsExporter::visit(const QString &line, bool ok)
{
    visits.Add({{"line", line.toStdString()}, {"result", ok ? "ok" : "failed"}}).Increment();
}

void MetricsExporter::outbox(int messages, quint64 droppedTotal)
{
    outboxMessages.Set(messages);
    advance(outboxDropped, droppedTotal);
}

void MetricsExporter::outboxDamaged(quint64 total)
{
    advance(outboxDamagedRecords, total);
}

void MetricsExporter::historyLost(quint64 samplesTotal)
{
    advance(historyLostSamples, samplesTotal);
}

void MetricsExporter::brokerConnected(bool connected)
{
    broker.Set(connected ? 1 : 0);
}
