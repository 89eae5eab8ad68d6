#pragma once

#include "exchange/pollersink.h"
#include "gateway/readingquality.h"

#include <QString>

#include <functional>
#include <memory>

class CurrentScale;
class WatchDataPacket;

namespace prometheus {
class Collectable;
class Exposer;
class Registry;
template <typename T> class Family;
class Gauge;
class Counter;
class Histogram;
} // namespace prometheus

// The gateway's figures for Prometheus at http://LISTEN/metrics: the monitoring of
// every device while its link is up, its link, the visits of each line, the outbox
// and the history; each Modbus request of a line, the line's busy time, the masters
// that share a line, the quality of each device's readings. Any thread may update them.
class MetricsExporter
{
public:
    // The server's threads and how long one waits for a request: a few idle or slow
    // clients must not hold every thread while Prometheus waits to scrape.
    static constexpr int kServerThreads = 8;
    static constexpr int kRequestTimeoutMs = 2000;

    MetricsExporter();
    ~MetricsExporter();

    // Binds the listening address; false with error when it cannot. refresh, called
    // from the server's threads at every scrape, sets what is read rather than
    // reported (the broker's connection, the outbox), so that a scrape never shows
    // it older than itself.
    bool listen(const QString &hostPort, QString &error, std::function<void()> refresh = {});

    // Both visit series and the busy time of the line, at 0, so that the first failure
    // is an increase.
    void addLine(const QString &line);
    // A device's error series are all there from its first request, at 0.
    void request(const QString &line, int address, double seconds, PollerSink::RequestKind kind);
    // The share of the last minute the line was busy, and its busy time in all.
    void lineBusy(const QString &line, double ratio, double totalSeconds);
    // A request of a master that shares the line through the gateway, by what it came
    // to: answered, cached, exception, refused, timeout, line_down or busy.
    void masterRequest(const QString &line, const QString &client, const QString &result);
    // How long a master's request waited for the line.
    void masterWait(const QString &line, double seconds);
    void quality(const QString &line, int address, ReadingQuality::Value value);
    void monitoring(const QString &line, int address, const WatchDataPacket &packet, const CurrentScale &scale);
    // A link down takes the device's values away: the last ones read are not its state.
    void linkUp(const QString &line, int address, bool up);
    void visit(const QString &line, bool ok);
    void outbox(int messages, quint64 droppedTotal);
    void outboxDamaged(quint64 total);
    void historyLost(quint64 samplesTotal);
    void brokerConnected(bool connected);

private:
    void removeValues(const QString &line, int address);

    std::shared_ptr<prometheus::Registry> registry;
    std::shared_ptr<prometheus::Collectable> scraped; // the registry, refreshed first
    std::unique_ptr<prometheus::Exposer> exposer;
    prometheus::Family<prometheus::Gauge> &current;
    prometheus::Family<prometheus::Gauge> &voltage;
    prometheus::Family<prometheus::Gauge> &pt100;
    prometheus::Family<prometheus::Gauge> &pt100State;
    prometheus::Family<prometheus::Gauge> &heating;
    prometheus::Family<prometheus::Gauge> &faultCode;
    prometheus::Family<prometheus::Gauge> &motorRunning;
    prometheus::Family<prometheus::Gauge> &link;
    prometheus::Family<prometheus::Counter> &visits;
    prometheus::Family<prometheus::Histogram> &requestDuration;
    prometheus::Family<prometheus::Counter> &deviceErrors;
    prometheus::Family<prometheus::Gauge> &busyRatio;
    prometheus::Family<prometheus::Counter> &busySeconds;
    prometheus::Family<prometheus::Counter> &masterRequests;
    prometheus::Family<prometheus::Histogram> &masterWaits;
    prometheus::Family<prometheus::Gauge> &readingQuality;
    prometheus::Gauge &outboxMessages;
    prometheus::Counter &outboxDropped;
    prometheus::Counter &outboxDamagedRecords;
    prometheus::Counter &historyLostSamples;
    prometheus::Gauge &broker;
};
