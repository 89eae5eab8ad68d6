// The gateway as a plant runs it, unattended: three lines of ten simulated devices
// behind Modbus TCP, polled at 1 Hz by orbix-gateway (a process of its own), a real
// broker that goes away for a while with trips happening meanwhile, a real Prometheus
// scraping /metrics, and one line's devices replaced (the simulator started anew with
// logs of its own) late in the run. Prints, a line a minute, the gateway's memory and
// outbox; at the end every trip's deliveries and their order, what was published
// after the replacement that had not happened, how long the outbox took to drain,
// memory and CPU, each line's visits a second and Prometheus' scrapes.
//   bench_gatewaysoak [MINUTES [OUTAGE_MINUTES]]   (default 60 20)
#include "bench/gatewaybench.h"
#include "sim/simtcpserver.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

using bench::tool;

constexpr int kLines = 3;
constexpr int kDevices = 10;
const char *const kLineNames[kLines] = {"lineA", "lineB", "lineC"};

struct Line {
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<SimTcpServer> server;
    quint16 port = 0;

    bool start(quint32 seed)
    {
        server.reset();
        sim = std::make_unique<Simulator>();
        sim->setSeed(seed);
        for (int a = 1; a <= kDevices; ++a) {
            SimDeviceConfig c;
            c.address = a;
            sim->addDevice(c);
        }
        if (!sim->start())
            return false;
        server = std::make_unique<SimTcpServer>(*sim, SimTcpServer::Framing::ModbusTcp);
        // The same port again after a replacement: the gateway's line does not change.
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (server->listen(QStringLiteral("127.0.0.1"), port))
                break;
            QThread::msleep(100);
        }
        port = server->port();
        return port != 0;
    }
};

struct Trip {
    int line;
    int address;
    int code;
    qint64 atMs; // since the start
};

// What the subscriber saw of one device's trip.
struct Seen {
    int deliveries = 0;
    int oscillograms = 0;
    qint64 firstMs = -1;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int minutes = std::max(4, args.value(1, QStringLiteral("60")).toInt());
    const int outageMinutes = std::max(1, std::min(minutes - 3, args.value(2, QStringLiteral("20")).toInt()));
    if (tool("mosquitto").isEmpty() || tool("mosquitto_sub").isEmpty() || tool("prometheus").isEmpty()
        || tool("stdbuf").isEmpty()) {
        printf("mosquitto, mosquitto_sub, prometheus and stdbuf are needed\n");
        return 1;
    }
    QTemporaryDir dir;
    const qint64 runMs = qint64(minutes) * 60000;
    const qint64 outageFromMs = std::min<qint64>(runMs / 4, 10 * 60000);
    const qint64 outageToMs = outageFromMs + qint64(outageMinutes) * 60000;
    const qint64 replaceAtMs = outageToMs + (runMs - outageToMs) / 2;

    // The broker keeps the subscriber's session over its restart, so that what the
    // gateway sends when it is back reaches the subscriber whenever that reconnects.
    const quint16 brokerPort = SimTcpServer::unusedLoopbackPort();
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nlog_dest none\npersistence true\n"
                              "persistence_location %2/\nmax_queued_messages 0\n")
                   .arg(brokerPort)
                   .arg(dir.path())
                   .toUtf8());
    conf.close();
    QProcess broker;
    const auto startBroker = [&] {
        broker.start(tool("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        broker.waitForStarted();
    };
    startBroker();

    std::vector<Line> lines(kLines);
    QJsonArray lineList;
    for (int l = 0; l < kLines; ++l) {
        if (!lines[size_t(l)].start(quint32(l + 1))) {
            printf("simulator of %s: %s\n", kLineNames[l], qPrintable(lines[size_t(l)].sim->errorString()));
            return 1;
        }
        lineList.append(QJsonObject {{QStringLiteral("name"), QLatin1String(kLineNames[l])},
                                     {QStringLiteral("port"), QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(lines[size_t(l)].port)},
                                     {QStringLiteral("addresses"), QStringLiteral("1-%1").arg(kDevices)}});
    }
    const quint16 metricsPort = SimTcpServer::unusedLoopbackPort();
    const QJsonObject config {
        {QStringLiteral("format"), QStringLiteral("orbix-gateway")}, {QStringLiteral("version"), 1},
        {QStringLiteral("name"), QStringLiteral("soak")},
        {QStringLiteral("mqtt"), QJsonObject {{QStringLiteral("url"), QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort)},
                                              {QStringLiteral("outbox"), dir.filePath(QStringLiteral("outbox"))}}},
        {QStringLiteral("metrics"), QJsonObject {{QStringLiteral("listen"), QStringLiteral("127.0.0.1:%1").arg(metricsPort)}}},
        {QStringLiteral("history"), QJsonObject {{QStringLiteral("db"), dir.filePath(QStringLiteral("history.sqlite"))}}},
        {QStringLiteral("lines"), lineList}};
    QFile file(dir.filePath(QStringLiteral("gateway.json")));
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(config).toJson());
    file.close();

    const quint16 prometheusPort = SimTcpServer::unusedLoopbackPort();
    QFile promConf(dir.filePath(QStringLiteral("prometheus.yml")));
    promConf.open(QIODevice::WriteOnly);
    promConf.write(QStringLiteral("global:\n  scrape_interval: 5s\n  scrape_timeout: 4s\nscrape_configs:\n"
                                  "  - job_name: gateway\n    static_configs:\n      - targets: ['127.0.0.1:%1']\n")
                       .arg(metricsPort)
                       .toUtf8());
    promConf.close();
    QProcess prometheus;
    prometheus.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.setStandardOutputFile(dir.filePath(QStringLiteral("prometheus.log")));
    prometheus.start(tool("prometheus"), {QStringLiteral("--config.file=") + promConf.fileName(),
                                          QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("tsdb")),
                                          QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort)});
    prometheus.waitForStarted();

    // Line by line: into a pipe the subscriber would hold its output until a block is full.
    QProcess sub;
    sub.start(tool("stdbuf"), {QStringLiteral("-oL"), tool("mosquitto_sub"), QStringLiteral("-p"), QString::number(brokerPort), QStringLiteral("-c"),
                                      QStringLiteral("-i"), QStringLiteral("soak-subscriber"), QStringLiteral("-q"),
                                      QStringLiteral("1"), QStringLiteral("-F"), QStringLiteral("%t %p"),
                                      QStringLiteral("-t"), QStringLiteral("orbix/soak/+/+/event"), QStringLiteral("-t"),
                                      QStringLiteral("orbix/soak/+/+/oscillogram")});
    sub.waitForStarted();
    QThread::msleep(500);
    QProcess gateway;
    gateway.setStandardErrorFile(dir.filePath(QStringLiteral("gateway.log")));
    gateway.start(QStringLiteral(ORBIX_GATEWAY), {QStringLiteral("--config"), file.fileName()});
    gateway.waitForStarted();
    const qint64 pid = gateway.processId();

    // Two trips before the outage, twelve in it, two after it: each of another device.
    std::vector<Trip> trips;
    const int codes[] = {10, 20, 30, 31, 32, 40, 50, 51};
    const auto plan = [&](qint64 from, qint64 to, int count) {
        for (int k = 0; k < count; ++k) {
            const int n = int(trips.size());
            trips.push_back({n % kLines, 1 + (n / kLines) % kDevices, codes[n % 8], from + (to - from) * (k + 1) / (count + 1)});
        }
    };
    plan(2 * 60000, outageFromMs, 2);
    plan(outageFromMs, outageToMs, 12);
    plan(outageToMs, replaceAtMs, 2);

    QElapsedTimer clock;
    clock.start();
    std::map<std::pair<int, int>, Seen> seen; // (line, address) -> its trip
    std::vector<std::pair<int, int>> arrival; // first deliveries, in order
    int invented = 0, protocolAfterReplacement = 0;
    size_t nextTrip = 0;
    bool outage = false, replaced = false;
    double rssWarm = -1, rssMax = 0, cpuWarm = 0;
    qint64 warmAtMs = 0, backAtMs = -1, drainedAtMs = -1;
    qint64 nextReport = 60000;
    QByteArray partial;
    QByteArray metrics, metricsWarm;
    while (clock.elapsed() < runMs && gateway.state() == QProcess::Running) {
        sub.waitForReadyRead(100);
        partial += sub.readAllStandardOutput();
        int end;
        while ((end = partial.indexOf('\n')) >= 0) {
            const QByteArray line = partial.left(end);
            partial.remove(0, end + 1);
            const int space = line.indexOf(' ');
            const QList<QByteArray> topic = line.left(space).split('/');
            const QJsonObject o = QJsonDocument::fromJson(line.mid(space + 1)).object();
            const int l = int(std::find_if(std::begin(kLineNames), std::end(kLineNames),
                                           [&](const char *n) { return topic.value(2) == n; })
                              - std::begin(kLineNames));
            const std::pair<int, int> device {l, topic.value(3).toInt()};
            const bool afterReplacement = replaced && l == 2;
            if (topic.value(4) == "oscillogram") {
                ++seen[device].oscillograms;
            } else if (o.value(QStringLiteral("event")).toString() == QLatin1String("trip")) {
                Seen &s = seen[device];
                if (s.deliveries++ == 0) {
                    s.firstMs = clock.elapsed();
                    arrival.push_back(device);
                }
                const bool injected = std::any_of(trips.begin(), trips.begin() + long(nextTrip), [&](const Trip &t) {
                    return t.line == l && t.address == device.second && t.code == o.value(QStringLiteral("faultCode")).toInt();
                });
                if (!injected)
                    ++invented; // no such trip was injected: an old record taken for news
            } else if (afterReplacement && o.value(QStringLiteral("event")).toString() == QLatin1String("protocol")) {
                ++protocolAfterReplacement;
            }
        }
        const qint64 now = clock.elapsed();
        while (nextTrip < trips.size() && trips[nextTrip].atMs <= now) {
            const Trip &t = trips[nextTrip++];
            lines[size_t(t.line)].sim->injectTrip(t.address, t.code);
        }
        if (!outage && backAtMs < 0 && now >= outageFromMs) {
            outage = true;
            broker.terminate();
            broker.waitForFinished(10000);
            printf("[%5.1f min] broker stopped for %d min\n", now / 60000.0, outageMinutes);
        }
        if (outage && now >= outageToMs) {
            outage = false;
            startBroker();
            backAtMs = clock.elapsed();
            printf("[%5.1f min] broker started again\n", backAtMs / 60000.0);
        }
        if (backAtMs >= 0 && drainedAtMs < 0 && now - backAtMs > 200) {
            const QByteArray m = bench::httpGet(metricsPort, "/metrics");
            if (bench::metricSum(m, "orbix_mqtt_connected") == 1 && bench::metricSum(m, "orbix_outbox_messages") == 0)
                drainedAtMs = clock.elapsed();
        }
        if (!replaced && now >= replaceAtMs) {
            replaced = true;
            lines[2].start(99); // new devices with logs of their own, on the same port
            printf("[%5.1f min] line C's devices replaced\n", now / 60000.0);
        }
        if (warmAtMs == 0 && now >= 2 * 60000) {
            warmAtMs = now;
            rssWarm = bench::residentMiB(pid);
            cpuWarm = bench::cpuSeconds(pid);
            metricsWarm = bench::httpGet(metricsPort, "/metrics");
        }
        if (now >= nextReport) {
            nextReport += 60000;
            const double rss = bench::residentMiB(pid);
            rssMax = std::max(rssMax, rss);
            metrics = bench::httpGet(metricsPort, "/metrics");
            printf("[%5.1f min] %.1f MiB resident, outbox %.0f, broker %s, trips seen %zu of %zu\n", now / 60000.0, rss,
                   bench::metricSum(metrics, "orbix_outbox_messages"),
                   bench::metricSum(metrics, "orbix_mqtt_connected") == 1 ? "connected" : "away", arrival.size(), nextTrip);
            fflush(stdout);
        }
    }
    const double elapsed = double(clock.elapsed() - warmAtMs) / 1000.0;
    const double cpu = bench::cpuSeconds(pid) - cpuWarm;
    const double rssEnd = bench::residentMiB(pid);
    metrics = bench::httpGet(metricsPort, "/metrics");
    const QByteArray scrapes = bench::httpGet(prometheusPort, "/api/v1/query?query=sum_over_time(up%7Bjob%3D%22gateway%22%7D%5B"
                                                                  + QByteArray::number(minutes + 1) + "m%5D)");
    const QByteArray attempts = bench::httpGet(prometheusPort, "/api/v1/query?query=count_over_time(up%7Bjob%3D%22gateway%22%7D%5B"
                                                                   + QByteArray::number(minutes + 1) + "m%5D)");
    const auto promValue = [](const QByteArray &reply) {
        return QJsonDocument::fromJson(reply).object().value(QStringLiteral("data")).toObject().value(QStringLiteral("result"))
            .toArray().at(0).toObject().value(QStringLiteral("value")).toArray().at(1).toString();
    };
    gateway.terminate();
    gateway.waitForFinished(15000);

    printf("\n%d lines x %d devices for %d min, the broker away %d min from minute %.1f, %zu trips (%d in the outage)\n",
           kLines, kDevices, minutes, outageMinutes, outageFromMs / 60000.0, trips.size(), 12);
    int once = 0, twice = 0, more = 0, missing = 0, oscillogramsOk = 0;
    for (const Trip &t : trips) {
        const Seen &s = seen[{t.line, t.address}];
        once += s.deliveries == 1;
        twice += s.deliveries == 2;
        more += s.deliveries > 2;
        missing += s.deliveries == 0;
        oscillogramsOk += s.oscillograms >= 1 && s.oscillograms <= 2;
    }
    bool inOrder = arrival.size() == trips.size();
    for (size_t k = 0; inOrder && k < trips.size(); ++k)
        inOrder = arrival[k] == std::make_pair(trips[k].line, trips[k].address);
    printf("  trips delivered: %d once, %d twice, %d more often, %d missing; %s; oscillograms %d of %zu\n", once, twice,
           more, missing, inOrder ? "in the order they happened" : "NOT in the order they happened", oscillogramsOk,
           trips.size());
    printf("  trips published that did not happen: %d; work log entries of line C published after its devices were replaced: %d\n",
           invented, protocolAfterReplacement);
    if (drainedAtMs >= 0)
        printf("  outbox drained %.2f s after the broker was started again\n", double(drainedAtMs - backAtMs) / 1000.0);
    else
        printf("  outbox NOT drained\n");
    printf("  memory: %.1f MiB resident after warm-up, %.1f MiB at most, %.1f MiB at the end\n", rssWarm,
           std::max(rssMax, rssEnd), rssEnd);
    printf("  CPU: %.1f %% of one core after warm-up\n", 100.0 * cpu / elapsed);
    for (int l = 0; l < kLines; ++l) {
        const QByteArray label = QByteArray("line=\"") + kLineNames[l] + '"';
        double visits = 0;
        for (const char *name : {"orbix_device_visits_total", "orbix_transactions_total"}) {
            visits = bench::metricSum(metrics, name, {label, "result=\"ok\""})
                     - bench::metricSum(metricsWarm, name, {label, "result=\"ok\""});
            if (visits > 0)
                break;
        }
        printf("  %s: %.2f visits a second a device\n", kLineNames[l], visits / elapsed / kDevices);
    }
    printf("  Prometheus: %s of %s scrapes succeeded\n", qPrintable(promValue(scrapes)), qPrintable(promValue(attempts)));
    printf("  gateway's log: %s\n", qPrintable(dir.filePath(QStringLiteral("gateway.log"))));
    sub.kill();
    sub.waitForFinished();
    prometheus.terminate();
    prometheus.waitForFinished(10000);
    broker.terminate();
    broker.waitForFinished();
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("ORBIX_SOAK_KEEP"));
    return missing == 0 && more == 0 && inOrder && invented == 0 ? 0 : 1;
}
