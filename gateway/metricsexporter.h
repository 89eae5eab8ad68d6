#pragma once

#include <QString>

#include <memory>

class CurrentScale;
class WatchDataPacket;

namespace prometheus {
class Exposer;
class Registry;
template <typename T> class Family;
class Gauge;
class Counter;
} // namespace prometheus

// The gateway's figures for Prometheus at http://LISTEN/metrics: the monitoring of
// every device, its link, the transactions of each line and the outbox. Any thread
// may update them.
class MetricsExporter
{
public:
    MetricsExporter();
    ~MetricsExporter();

    // Binds the listening address; false with error when it cannot.
    bool listen(const QString &hostPort, QString &error);

    void monitoring(const QString &line, int address, const WatchDataPacket &packet, const CurrentScale &scale);
    void linkUp(const QString &line, int address, bool up);
    void transaction(const QString &line, bool ok);
    void outbox(int messages, quint64 droppedTotal);
    void brokerConnected(bool connected);

private:
    std::shared_ptr<prometheus::Registry> registry;
    std::unique_ptr<prometheus::Exposer> exposer;
    prometheus::Family<prometheus::Gauge> &current;
    prometheus::Family<prometheus::Gauge> &voltage;
    prometheus::Family<prometheus::Gauge> &pt100;
    prometheus::Family<prometheus::Gauge> &heating;
    prometheus::Family<prometheus::Gauge> &faultCode;
    prometheus::Family<prometheus::Gauge> &motorRunning;
    prometheus::Family<prometheus::Gauge> &link;
    prometheus::Family<prometheus::Counter> &transactions;
    prometheus::Gauge &outboxMessages;
    prometheus::Counter &outboxDropped;
    prometheus::Gauge &broker;
};
