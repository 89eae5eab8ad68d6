#include "gateway/metricsexporter.h"

#include "device/currentscale.h"
#include "device/watchdatapacket.h"

#include <CivetServer.h>
#include <prometheus/collectable.h>
#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <exception>
#include <string>
#include <vector>

namespace {

using prometheus::Labels;

// Percent of the device's heating register to a ratio.
constexpr double kHeatingFull = 100.0;

const char *const kPt100States[] = {"ok", "open", "shorted"};

using Kind = PollerSink::RequestKind;
const Kind kErrorKinds[] = {Kind::Timeout, Kind::Crc, Kind::Exception, Kind::OtherAddress, Kind::LineError};

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Answered: return "answered";
    case Kind::Timeout: return "timeout";
    case Kind::Crc: return "crc";
    case Kind::Exception: return "exception";
    case Kind::OtherAddress: return "other_address";
    case Kind::LineError: return "line_error";
    }
    return "";
}

using Quality = ReadingQuality::Value;
const Quality kQualities[] = {Quality::Good, Quality::Stale, Quality::Down};

// A request on RTU lines of 9600 to 115200 bit/s: a short read at the fastest is a
// few milliseconds, the longest read at the slowest about 0.15 s, and a time-out up to
// the protocol's 1.9 s.
const prometheus::Histogram::BucketBoundaries kRequestBuckets {0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2};
// A master's request waits for those of the poller and of the other masters under way.
const prometheus::Histogram::BucketBoundaries kWaitBuckets {0.001, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5};

prometheus::Family<prometheus::Gauge> &gauge(prometheus::Registry &r, const char *name, const char *help)
{
    return prometheus::BuildGauge().Name(name).Help(help).Register(r);
}

prometheus::Family<prometheus::Counter> &counter(prometheus::Registry &r, const char *name, const char *help)
{
    return prometheus::BuildCounter().Name(name).Help(help).Register(r);
}

prometheus::Family<prometheus::Histogram> &histogram(prometheus::Registry &r, const char *name, const char *help)
{
    return prometheus::BuildHistogram().Name(name).Help(help).Register(r);
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
void advance(prometheus::Counter &c, double total)
{
    if (total > c.Value())
        c.Increment(total - c.Value());
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
    , requestDuration(histogram(*registry, "orbix_request_duration_seconds",
                                "Modbus requests to a device, from sent to the end of the reply or the time-out"))
    , deviceErrors(counter(*registry, "orbix_device_errors_total",
                           "Modbus requests to a device that failed, by kind: timeout, crc, exception, "
                           "other_address, line_error"))
    , busyRatio(gauge(*registry, "orbix_line_busy_ratio", "Share of the last 60 s the line was busy with a request"))
    , busySeconds(counter(*registry, "orbix_line_busy_seconds_total", "Time the line was busy with a request"))
    , masterRequests(counter(*registry, "orbix_master_requests_total",
                             "Requests of the masters that share the line through the gateway, by client and result"))
    , masterWaits(histogram(*registry, "orbix_master_wait_seconds", "Time a master's request waited for the line"))
    , readingQuality(gauge(*registry, "orbix_reading_quality",
                           "1 for the quality of the device's readings: good, stale or down"))
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
    const Labels l {{"line", line.toStdString()}};
    for (const char *result : {"ok", "failed"})
        visits.Add(with(l, "result", result));
    busyRatio.Add(l);
    busySeconds.Add(l);
}

void MetricsExporter::request(const QString &line, int address, double seconds, PollerSink::RequestKind kind)
{
    const Labels l = device(line, address);
    if (!requestDuration.Has(l)) // a device's requests all come from its line's thread
        for (Kind k : kErrorKinds)
            deviceErrors.Add(with(l, "kind", kindName(k)));
    requestDuration.Add(l, kRequestBuckets).Observe(seconds);
    if (kind != Kind::Answered)
        deviceErrors.Add(with(l, "kind", kindName(kind))).Increment();
}

void MetricsExporter::lineBusy(const QString &line, double ratio, double totalSeconds)
{
    const Labels l {{"line", line.toStdString()}};
    busyRatio.Add(l).Set(ratio);
    advance(busySeconds.Add(l), totalSeconds);
}

void MetricsExporter::masterRequest(const QString &line, const QString &client, const QString &result)
{
    masterRequests.Add({{"line", line.toStdString()}, {"client", client.toStdString()}, {"result", result.toStdString()}})
        .Increment();
}

void MetricsExporter::masterWait(const QString &line, double seconds)
{
    masterWaits.Add({{"line", line.toStdString()}}, kWaitBuckets).Observe(seconds);
}

void MetricsExporter::quality(const QString &line, int address, ReadingQuality::Value value)
{
    const Labels l = device(line, address);
    for (Quality q : kQualities)
        readingQuality.Add(with(l, "quality", ReadingQuality::name(q))).Set(q == value ? 1 : 0);
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
    advance(outboxDropped, double(droppedTotal));
}

void MetricsExporter::outboxDamaged(quint64 total)
{
    advance(outboxDamagedRecords, double(total));
}

void MetricsExporter::historyLost(quint64 samplesTotal)
{
    advance(historyLostSamples, double(samplesTotal));
}

void MetricsExporter::brokerConnected(bool connected)
{
    broker.Set(connected ? 1 : 0);
}
