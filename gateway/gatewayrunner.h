#pragma once

#include "exchange/pollersink.h"
#include "gateway/gatewayconfig.h"
#include "exchange/linepoller.h"
#include "gateway/modbusserver.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class CrashOscillogramPacket;
class CurrentScale;
class DataEventGetProtocol;
class LineArbiter;
class LinePoller;
class MetricsExporter;
class ModbusServer;
class MqttPublisher;
class Outbox;
class PeriodicCheck;
class WatchDataPacket;

// A whole gateway: a poller per line, what they find published to the broker and
// exported for Prometheus. The pollers' events also go to every sink added (the
// history recorder), unchanged.
class GatewayRunner : public PollerSink
{
public:
    // A device's readings are stale when the last is older than this many poll periods.
    static constexpr int kStalePollPeriods = 3;

    explicit GatewayRunner(const GatewayConfig &config);
    ~GatewayRunner() override;

    // Before start(); not owned.
    void addSink(PollerSink *sink) { sinks.push_back(sink); }
    // Before start(): the samples the history lost so far, for the metrics; called from
    // the pollers' threads.
    void setHistoryLost(std::function<quint64()> source) { historyLost = std::move(source); }
    // The ports resolved, the outbox opened, the broker and metrics set up, the
    // pollers started; false with error naming what failed.
    bool start(QString &error);
    // The pollers stopped, "offline" published and the outbox flushed for up to flushMs.
    void stop(int flushMs = 3000);
    // The port a line's Modbus TCP server listens on (0: none), after start().
    quint16 modbusPort(const QString &line) const;

    void deviceIdentified(const QString &line, const DeviceInfo &device) override;
    void deviceEvent(const QString &line, const DeviceInfo &device, const DataEventPtr &event) override;
    void transaction(const QString &line, int address, bool ok) override;
    void logsReplaced(const QString &line, int address, int olderRecords) override;
    void request(const QString &line, int address, double seconds, RequestKind kind) override;

private:
    struct DeviceState;

    DeviceState &state(const QString &line, int address); // under lock
    QByteArray topic(const QString &line, int address, const char *leaf) const;
    void publishState(const QString &line, const DeviceState &s);
    void publishEvent(const QString &line, int address, QJsonObject event);
    void refreshFigures();
    void monitored(const QString &line, DeviceState &s, const WatchDataPacket &p, const CurrentScale &scale);
    void linkLost(const QString &line, DeviceState &s);
    void logsRead(const QString &line, DeviceState &s, const DataEventGetProtocol &logs);
    void oscillogramRead(const QString &line, const DeviceState &s, const CrashOscillogramPacket &packet);
    void linkChanged(const QString &line, DeviceState &s, DataEvent::Type type);
    void checkQuality();
    void qualityChanged(const DeviceState &s); // under lock
    QString portOf(const QString &line) const;
    bool startServers(const std::vector<LinePoller::Line> &lines, QString &error);
    void masterDone(const QString &line, const ModbusServer::Outcome &o);

    const GatewayConfig config;
    std::vector<PollerSink *> sinks;
    std::function<quint64()> historyLost;
    std::unique_ptr<Outbox> outbox;
    std::unique_ptr<MqttPublisher> mqtt;
    std::unique_ptr<MetricsExporter> metrics;
    std::vector<std::unique_ptr<LinePoller>> pollers;
    // A line's masters: its arbiter outlives its poller and its server.
    std::map<QString, std::unique_ptr<LineArbiter>> arbiters;
    std::vector<std::unique_ptr<ModbusServer>> servers;
    std::mutex pollersLock; // the list, which the scrapes read while start() fills it
    std::unique_ptr<PeriodicCheck> qualityCheck;
    std::mutex lock; // the devices' states; the pollers call from their threads
    std::map<QString, std::unique_ptr<DeviceState>> devices;
};
