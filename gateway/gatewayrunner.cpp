#include "gateway/gatewayrunner.h"

#include "device/crashprotocolpacket.h"
#include "device/currentscale.h"
#include "device/eventdata.h"
#include "device/eventprotocolevent.h"
#include "device/faulttext.h"
#include "device/protocolpacket.h"
#include "device/registermap.h"
#include "device/watchdatapacket.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/eventdispatch.h"
#include "exchange/linearbiter.h"
#include "exchange/linepoller.h"
#include "gateway/gatewaylog.h"
#include "gateway/metricsexporter.h"
#include "gateway/mqttpublisher.h"
#include "gateway/outbox.h"
#include "gateway/periodiccheck.h"
#include "gateway/readingquality.h"
#include "device/devicejson.h"
#include "link/line.h"
#include "link/rtuframing.h"
#include "storage/portmap.h"

#include <QDateTime>
#include <QJsonArray>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>

namespace {

double now()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// For the ages of readings: the wall clock may be set back or forth (at boot, by NTP).
qint64 monotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Often enough that a stale reading is told within a poll period, at most once a second.
constexpr int kQualityCheckMinMs = 10;
constexpr int kQualityCheckMaxMs = 1000;

QString outboxPath(const GatewayConfig &c)
{
    if (c.mqtt && !c.mqtt->outboxFile.isEmpty())
        return c.mqtt->outboxFile;
    // systemd's StateDirectory= for the service, the user's data directory otherwise.
    QString dir = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/orbix");
    return dir + QStringLiteral("/gateway-%1.outbox").arg(c.name);
}

} // namespace

struct GatewayRunner::DeviceState {
    QString line;
    int address = 0;
    DeviceInfo info;
    bool identified = false;
    bool linkUp = false;
    bool silenceLogged = false;
    QJsonObject monitoring;
    bool logsKnown = false; // the first logs read are what was there before us
    ReadingQuality quality {0};
};

GatewayRunner::GatewayRunner(const GatewayConfig &config)
    : config(config)
{
}

GatewayRunner::~GatewayRunner()
{
    stop(0);
}

bool GatewayRunner::start(QString &error)
{
    std::vector<LinePoller::Line> lines;
    const PortMap map = PortMap::system();
    for (const GatewayConfig::Line &l : config.lines) {
        LinePoller::Line line;
        line.name = l.name;
        line.baud = l.baud;
        line.frameFormat = l.frameFormat;
        line.addresses = l.addresses;
        if (Line::isNetworkName(l.port)) {
            line.devicePath = l.port;
        } else {
            line.devicePath = map.resolve(l.port);
            if (line.devicePath.isEmpty()) {
                error = QStringLiteral("line %1: unknown port '%2'").arg(l.name, l.port);
                return false;
            }
            const int number = PortMap::parseComName(l.port);
            if (number > 0)
                line.options = map.lineOptions(number);
        }
        line.timing.cyclePeriodMs = config.pollPeriodMs;
        line.timing.readTimeoutMs = config.readTimeoutMs;
        line.timing.replyGapMs = config.replyGapMs;
        if (config.readTimeoutMs > 0)
            line.timing.probeTimeoutMs = config.readTimeoutMs;
        line.retryPeriodMs = config.retryPeriodMs;
        lines.push_back(line);
    }
    if (config.mqtt) {
        const GatewayConfig::Mqtt &m = *config.mqtt;
        outbox = std::make_unique<Outbox>(outboxPath(config), m.outboxLimit);
        if (!outbox->open()) {
            error = QStringLiteral("outbox: %1").arg(outbox->error());
            return false;
        }
        if (outbox->size() > 0)
            GatewayLog::write(GatewayLog::Notice, QStringLiteral("%1 events of an earlier run wait in the outbox")
                                                      .arg(outbox->size()));
        MqttPublisher::Settings s;
        s.host = m.host;
        s.port = m.port;
        s.tls = m.tls;
        s.caFile = m.caFile;
        s.username = m.username;
        if (!m.passwordFile.isEmpty()) {
            QString warning;
            if (!GatewayConfig::readPassword(m.passwordFile, s.password, error, warning))
                return false;
            if (!warning.isEmpty())
                GatewayLog::write(GatewayLog::Warning, warning);
        }
        s.clientId = QStringLiteral("orbix-gateway-%1").arg(config.name);
        s.statusTopic = (m.prefix + QLatin1Char('/') + config.name + QStringLiteral("/status")).toUtf8();
        mqtt = std::make_unique<MqttPublisher>(s, *outbox);
        mqtt->setLog(GatewayLog::write);
        if (!mqtt->start(error))
            return false;
    }
    if (config.metricsListen) {
        metrics = std::make_unique<MetricsExporter>();
        if (!metrics->listen(*config.metricsListen, error, [this] { refreshFigures(); }))
            return false;
        for (const LinePoller::Line &line : lines)
            metrics->addLine(line.name);
    }
    if (!startServers(lines, error))
        return false;
    qualityCheck = std::make_unique<PeriodicCheck>(
        std::clamp(config.pollPeriodMs / 2, kQualityCheckMinMs, kQualityCheckMaxMs), [this] { checkQuality(); });
    qualityCheck->start();
    for (const LinePoller::Line &line : lines) {
        std::lock_guard<std::mutex> guard(pollersLock);
        pollers.push_back(std::make_unique<LinePoller>(line, *this));
        const auto arbiter = arbiters.find(line.name);
        if (arbiter != arbiters.end())
            pollers.back()->setArbiter(arbiter->second.get());
        pollers.back()->start();
        GatewayLog::write(GatewayLog::Info, QStringLiteral("line %1 (%2): polling %3 devices")
                                                .arg(line.name, line.devicePath).arg(line.addresses.size()));
    }
    return true;
}

bool GatewayRunner::startServers(const std::vector<LinePoller::Line> &lines, QString &error)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::optional<GatewayConfig::ModbusServer> &m = config.lines.at(int(i)).modbusServer;
        if (!m)
            continue;
        LineArbiter::Settings s;
        s.waitLimitMs = m->waitLimitMs;
        s.readShare = m->readShare;
        s.cacheMs = config.pollPeriodMs;
        s.holdRegister = RegisterMap::AccessCode;
        const QString name = lines[i].name;
        auto &arbiter = arbiters[name];
        arbiter = std::make_unique<LineArbiter>(s);
        servers.push_back(std::make_unique<ModbusServer>(name, *m, *arbiter));
        servers.back()->setObserver([this, name](const ModbusServer::Outcome &o) { masterDone(name, o); });
        if (!servers.back()->start(error))
            return false;
        GatewayLog::write(GatewayLog::Info, QStringLiteral("line %1: Modbus TCP on %2 for %3 clients")
                                                .arg(name, m->listen).arg(m->clients.size()));
    }
    return true;
}

quint16 GatewayRunner::modbusPort(const QString &line) const
{
    for (size_t i = 0, s = 0; i < size_t(config.lines.size()) && s < servers.size(); ++i)
        if (config.lines.at(int(i)).modbusServer) {
            if (config.lines.at(int(i)).name == line)
                return servers[s]->port();
            ++s;
        }
    return 0;
}

// A master's write is told: what changed the device is known by whom.
void GatewayRunner::masterDone(const QString &line, const ModbusServer::Outcome &o)
{
    if (metrics) {
        metrics->masterRequest(line, o.client, QLatin1String(LineArbiter::resultName(o.result)));
        if (o.waitSeconds >= 0)
            metrics->masterWait(line, o.waitSeconds);
    }
    const int function = o.request.isEmpty() ? 0 : quint8(o.request[0]);
    const bool write = function == RtuFraming::kFunctionWriteSingle || function == RtuFraming::kFunctionWriteMultiple;
    if (!write || o.result != LineArbiter::Result::Answered || o.request.size() < 5)
        return;
    const int first = ((quint8(o.request[1]) << 8) | quint8(o.request[2])) + 1;
    const int count = function == RtuFraming::kFunctionWriteSingle ? 1 : (quint8(o.request[3]) << 8) | quint8(o.request[4]);
    GatewayLog::write(GatewayLog::Info, QStringLiteral("line %1 address %2: %3 wrote %4 registers from %5")
                                            .arg(line).arg(o.unit).arg(o.client).arg(count).arg(first));
    publishEvent(line, o.unit, {{QStringLiteral("event"), QStringLiteral("masterWrite")},
                                {QStringLiteral("client"), o.client},
                                {QStringLiteral("register"), first},
                                {QStringLiteral("count"), count}});
}

void GatewayRunner::stop(int flushMs)
{
    for (auto &s : servers)
        s->stop(); // no request comes in from here on
    servers.clear();
    for (auto &p : pollers)
        p->stop();
    if (qualityCheck)
        qualityCheck->stop();
    metrics.reset(); // no scrape reads the publisher or the pollers from here on
    pollers.clear();
    arbiters.clear();
    if (mqtt)
        mqtt->stop(flushMs);
    mqtt.reset();
}

GatewayRunner::DeviceState &GatewayRunner::state(const QString &line, int address)
{
    std::unique_ptr<DeviceState> &s = devices[line + QLatin1Char('/') + QString::number(address)];
    if (!s) {
        s = std::make_unique<DeviceState>();
        s->line = line;
        s->address = address;
        s->quality = ReadingQuality(qint64(kStalePollPeriods) * config.pollPeriodMs);
    }
    return *s;
}

QByteArray GatewayRunner::topic(const QString &line, int address, const char *leaf) const
{
    return QStringLiteral("%1/%2/%3/%4/%5")
        .arg(config.mqtt->prefix, config.name, line)
        .arg(address)
        .arg(QLatin1String(leaf))
        .toUtf8();
}

void GatewayRunner::publishState(const QString &line, const DeviceState &s)
{
    if (!mqtt)
        return;
    QJsonObject o = s.monitoring;
    o.insert(QStringLiteral("line"), line);
    o.insert(QStringLiteral("address"), s.address);
    o.insert(QStringLiteral("link"), s.linkUp ? QStringLiteral("up") : QStringLiteral("down"));
    if (s.identified)
        o.insert(QStringLiteral("identity"), DeviceJson::identity(s.info));
    if (s.quality.value() != ReadingQuality::Value::Unknown) {
        o.insert(QStringLiteral("quality"), QLatin1String(ReadingQuality::name(s.quality.value())));
        o.insert(QStringLiteral("since"), s.quality.since());
    }
    o.insert(QStringLiteral("time"), now());
    mqtt->publishState(topic(line, s.address, "state"), DeviceJson::compact(o));
}

void GatewayRunner::publishEvent(const QString &line, int address, QJsonObject event)
{
    event.insert(QStringLiteral("line"), line);
    event.insert(QStringLiteral("address"), address);
    event.insert(QStringLiteral("time"), now());
    if (mqtt)
        mqtt->publishEvent(topic(line, address, "event"), DeviceJson::compact(event));
}

void GatewayRunner::deviceIdentified(const QString &line, const DeviceInfo &device)
{
    for (PollerSink *sink : sinks)
        sink->deviceIdentified(line, device);
    std::lock_guard<std::mutex> guard(lock);
    DeviceState &s = state(line, device.address);
    // The identity without the port number of the window's device list: the line's port instead.
    if (!s.identified)
        GatewayLog::write(GatewayLog::Info, QStringLiteral("line %1 address %2: %3 on %4")
                                                .arg(line).arg(device.address)
                                                .arg(device.sourceText().section(QLatin1Char('/'), 0, -2), portOf(line)));
    s.info = device;
    s.identified = true;
}

QString GatewayRunner::portOf(const QString &line) const
{
    for (const GatewayConfig::Line &l : config.lines)
        if (l.name == line)
            return l.port;
    return {};
}

// After the first, which is what the device held before, the poller hands on only the
// records that are news.
void GatewayRunner::logsRead(const QString &line, DeviceState &s, const DataEventGetProtocol &logs)
{
    const bool announce = s.logsKnown;
    s.logsKnown = true;
    if (!announce)
        return;
    for (int i = 0; i < CrashProtocolPacket::kRecords; ++i) {
        const CrashRecord r = logs.crashProtocol()->record(i);
        if (r.code == 0)
            continue;
        QJsonObject trip = DeviceJson::crashRecord(r);
        trip.insert(QStringLiteral("event"), QStringLiteral("trip"));
        // A code the device documents no text for (33 to 36 among them) still reads as a whole line.
        const QString text = faultText(r.code);
        GatewayLog::write(GatewayLog::Warning, QStringLiteral("line %1 address %2: trip, fault %3 %4")
                                                   .arg(line).arg(s.address).arg(r.code)
                                                   .arg(text.isEmpty() ? QStringLiteral("(no text for this code)") : text));
        publishEvent(line, s.address, trip);
    }
    for (int i = 0; i < ProtocolPacket::kRecords; ++i) {
        std::unique_ptr<EventData> e = logs.protocol()->event(i);
        if (e->code == EventData::Empty)
            continue;
        QJsonObject entry {{QStringLiteral("event"), QStringLiteral("protocol")},
                           {QStringLiteral("code"), e->code},
                           {QStringLiteral("entryTime"), double(e->time)}};
        entry.insert(QStringLiteral("text"), EventProtocolEvent(std::move(e)).text());
        publishEvent(line, s.address, entry);
    }
}

void GatewayRunner::deviceEvent(const QString &line, const DeviceInfo &device, const DataEventPtr &event)
{
    for (PollerSink *sink : sinks)
        sink->deviceEvent(line, device, event);
    std::lock_guard<std::mutex> guard(lock);
    DeviceState &s = state(line, device.address);
    EventDispatch::visit(*event, EventHandlers {
        [&](const DataEventGet &e) { monitored(line, s, *e.packet(), CurrentScale(device.currentScale)); },
        [&](const DataEventError &e) {
            if (e.error() == DataEventError::LinkLost)
                linkLost(line, s);
        },
        [&](const DataEventGetProtocol &e) { logsRead(line, s, e); },
        [&](const CrashEventOscillogramGet &e) { oscillogramRead(line, s, *e.packet()); },
        [&](const DataEvent &e) { linkChanged(line, s, e.type()); }});
}

void GatewayRunner::monitored(const QString &line, DeviceState &s, const WatchDataPacket &p, const CurrentScale &scale)
{
    s.monitoring = DeviceJson::monitoring(p, scale);
    s.linkUp = true;
    if (s.quality.read(monotonicMs(), now()))
        qualityChanged(s);
    if (metrics) {
        metrics->monitoring(line, s.address, p, scale);
        metrics->linkUp(line, s.address, true);
    }
    publishState(line, s);
}

void GatewayRunner::linkLost(const QString &line, DeviceState &s)
{
    s.linkUp = false;
    if (s.quality.lost(now()))
        qualityChanged(s);
    GatewayLog::write(GatewayLog::Warning, QStringLiteral("line %1 address %2: link lost").arg(line).arg(s.address));
    if (metrics)
        metrics->linkUp(line, s.address, false);
    publishEvent(line, s.address, {{QStringLiteral("event"), QStringLiteral("linkLost")}});
    publishState(line, s);
}

void GatewayRunner::oscillogramRead(const QString &line, const DeviceState &s, const CrashOscillogramPacket &packet)
{
    if (!mqtt)
        return;
    QJsonObject o = DeviceJson::oscillogram(packet);
    o.insert(QStringLiteral("line"), line);
    o.insert(QStringLiteral("address"), s.address);
    mqtt->publishEvent(topic(line, s.address, "oscillogram"), DeviceJson::compact(o));
}

// The events that carry nothing but their code.
void GatewayRunner::linkChanged(const QString &line, DeviceState &s, DataEvent::Type type)
{
    if (type == DataEvent::Connected) {
        s.linkUp = true;
    } else if (type == DataEvent::LinkRestored) {
        s.linkUp = true;
        GatewayLog::write(GatewayLog::Notice, QStringLiteral("line %1 address %2: link restored").arg(line).arg(s.address));
        publishEvent(line, s.address, {{QStringLiteral("event"), QStringLiteral("linkRestored")}});
    }
}

void GatewayRunner::transaction(const QString &line, int address, bool ok)
{
    for (PollerSink *sink : sinks)
        sink->transaction(line, address, ok);
    if (!ok) {
        std::lock_guard<std::mutex> guard(lock);
        DeviceState &s = state(line, address);
        if (!s.identified && !s.silenceLogged) // once: a line without the device is not news every retry
            GatewayLog::write(GatewayLog::Warning, QStringLiteral("line %1 address %2: no answer, tried again later")
                                                       .arg(line).arg(address));
        s.silenceLogged = true;
        // A device never heard of still shows as down.
        if (metrics && !s.linkUp)
            metrics->linkUp(line, address, false);
    }
    if (!metrics)
        return;
    metrics->visit(line, ok);
}

void GatewayRunner::request(const QString &line, int address, double seconds, RequestKind kind)
{
    for (PollerSink *sink : sinks)
        sink->request(line, address, seconds, kind);
    if (metrics)
        metrics->request(line, address, seconds, kind);
}

void GatewayRunner::qualityChanged(const DeviceState &s)
{
    if (metrics)
        metrics->quality(s.line, s.address, s.quality.value());
}

// From the check's thread: a line hung in a request sends nothing, yet its devices'
// readings grow old.
void GatewayRunner::checkQuality()
{
    const qint64 at = monotonicMs();
    std::lock_guard<std::mutex> guard(lock);
    for (auto &entry : devices) {
        DeviceState &s = *entry.second;
        if (!s.quality.check(at))
            continue;
        qualityChanged(s);
        publishState(s.line, s);
    }
}

// At every scrape, from the metrics server's threads: the publisher, the recorder and
// the pollers' request observers tell their own figures safely from any thread, and
// all outlive the server (stop()).
void GatewayRunner::refreshFigures()
{
    {
        std::lock_guard<std::mutex> guard(pollersLock);
        for (const auto &p : pollers)
            metrics->lineBusy(p->line().name, p->requests().busyRatio(), p->requests().busySeconds());
    }
    if (mqtt) {
        metrics->outbox(mqtt->outboxSize(), mqtt->outboxDropped());
        metrics->outboxDamaged(mqtt->outboxDamaged());
        metrics->brokerConnected(mqtt->isConnected());
    }
    if (historyLost)
        metrics->historyLost(historyLost());
}

void GatewayRunner::logsReplaced(const QString &line, int address, int olderRecords)
{
    for (PollerSink *sink : sinks)
        sink->logsReplaced(line, address, olderRecords);
    GatewayLog::write(GatewayLog::Notice,
                      QStringLiteral("line %1 address %2: the device's logs were replaced (%3 records from "
                                     "before its last look); not published").arg(line).arg(address).arg(olderRecords));
}
