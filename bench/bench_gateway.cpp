// The gateway at scale: LINES simulated lines behind Modbus TCP servers with DEVICES
// devices each, polled at 1 Hz by orbix-gateway (a process of its own, so that its
// CPU time and memory are its own) publishing to a real broker. Prints the polls a
// second, the gateway's CPU and memory per device, the latency from the reply to a
// subscriber of the broker, and the outbox's size after an hour of events without a
// broker (the hour simulated by the events' count).
//   bench_gateway [LINES DEVICES SECONDS [pty]]   (default 10 10 20, Modbus TCP)
#include "bench/gatewaybench.h"
#include "gateway/outbox.h"
#include "sim/simtcpserver.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

using bench::cpuSeconds;
using bench::residentMiB;
using bench::tool;

void outboxHour(const QString &dir, int devices)
{
    // A busy hour: every device one protocol entry a minute, a link lost and restored
    // and a trip with its oscillogram every ten minutes.
    const QByteArray entry = QByteArray(R"j({"event":"protocol","code":2,"entryTime":1796770000,"text":"Пуск двигателя","line":"line01","address":7,"time":1796770000.123})j");
    const QByteArray trip = QByteArray(R"j({"event":"trip","faultCode":31,"text":"Перегрузка по току (среднебыстродействующая защита)","time":1796770000,"currents":[61.5,60.5,62],"voltages":[380,381,379],"line":"line01","address":7})j");
    QByteArray oscillogram = QByteArray(R"j({"faultCode":31,"text":"Перегрузка по току","tripTime":1796770000,"currentScale":2,"voltageScale":1,"samples":[)j");
    for (int c = 0; c < 6; ++c)
        oscillogram += (c ? ",[" : "[") + QByteArray("-1234,").repeated(63) + "-1234]";
    oscillogram += "]}";
    Outbox box(dir + QStringLiteral("/hour.outbox"), 100000);
    box.open();
    QElapsedTimer t;
    t.start();
    int events = 0;
    for (int minute = 0; minute < 60; ++minute)
        for (int d = 0; d < devices; ++d) {
            box.push({"orbix/plant/line01/7/event", entry});
            ++events;
            if ((minute + d) % 10 == 0) {
                box.push({"orbix/plant/line01/7/event", trip});
                box.push({"orbix/plant/line01/7/oscillogram", oscillogram});
                box.push({"orbix/plant/line01/7/event", R"j({"event":"linkLost"})j"});
                box.push({"orbix/plant/line01/7/event", R"j({"event":"linkRestored"})j"});
                events += 4;
            }
        }
    printf("outbox, an hour of %d devices without a broker: %d messages, %.1f MiB on disk, %lld ms to write, "
           "%llu dropped\n", devices, box.size(), double(box.fileSize()) / 1048576.0, t.elapsed(),
           static_cast<unsigned long long>(box.dropped()));
    t.restart();
    for (auto it = box.from(0); it != box.end();)
        box.remove((it++)->first);
    printf("  emptied after the broker came back in %lld ms\n", t.elapsed());
    Q_UNUSED(events)
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int lines = args.value(1, QStringLiteral("10")).toInt();
    const int perLine = args.value(2, QStringLiteral("10")).toInt();
    const int seconds = args.value(3, QStringLiteral("20")).toInt();
    const bool serial = args.value(4) == QLatin1String("pty"); // 19200 bit/s lines paced as real ones
    QTemporaryDir dir;
    if (tool("mosquitto").isEmpty() || tool("mosquitto_sub").isEmpty()) {
        printf("mosquitto and mosquitto_sub are needed\n");
        return 1;
    }
    const quint16 brokerPort = SimTcpServer::unusedLoopbackPort();
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nlog_dest none\n").arg(brokerPort).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(tool("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
    broker.waitForStarted();

    std::vector<std::unique_ptr<Simulator>> sims;
    std::vector<std::unique_ptr<SimTcpServer>> servers;
    QJsonArray lineList;
    for (int l = 0; l < lines; ++l) {
        sims.push_back(std::make_unique<Simulator>());
        for (int a = 1; a <= perLine; ++a) {
            SimDeviceConfig c;
            c.address = a;
            sims.back()->addDevice(c);
        }
        sims.back()->start();
        QString port = sims.back()->linkPath();
        if (!serial) {
            servers.push_back(std::make_unique<SimTcpServer>(*sims.back(), SimTcpServer::Framing::ModbusTcp));
            servers.back()->listen(QStringLiteral("127.0.0.1"), 0);
            port = QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(servers.back()->port());
        }
        lineList.append(QJsonObject {{QStringLiteral("name"), QStringLiteral("line%1").arg(l + 1, 2, 10, QLatin1Char('0'))},
                                     {QStringLiteral("port"), port},
                                     {QStringLiteral("addresses"), QStringLiteral("1-%1").arg(perLine)}});
    }
    QThread::msleep(300);
    const QJsonObject config {
        {QStringLiteral("format"), QStringLiteral("orbix-gateway")}, {QStringLiteral("version"), 1},
        {QStringLiteral("name"), QStringLiteral("bench")},
        {QStringLiteral("mqtt"), QJsonObject {{QStringLiteral("url"), QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort)},
                                              {QStringLiteral("outbox"), dir.filePath(QStringLiteral("outbox"))}}},
        {QStringLiteral("metrics"), QJsonObject {{QStringLiteral("listen"), QStringLiteral("127.0.0.1:%1").arg(SimTcpServer::unusedLoopbackPort())}}},
        {QStringLiteral("lines"), lineList}};
    QFile file(dir.filePath(QStringLiteral("gateway.json")));
    file.open(QIODevice::WriteOnly);
    file.write(QJsonDocument(config).toJson());
    file.close();

    QProcess sub;
    sub.start(tool("mosquitto_sub"), {QStringLiteral("-p"), QString::number(brokerPort), QStringLiteral("-F"),
                                      QStringLiteral("%U %p"), QStringLiteral("-t"), QStringLiteral("orbix/bench/+/+/state")});
    sub.waitForStarted();
    QProcess gateway;
    gateway.setStandardErrorFile(QProcess::nullDevice());
    gateway.start(QStringLiteral(ORBIX_GATEWAY), {QStringLiteral("--config"), file.fileName()});
    gateway.waitForStarted();
    QThread::sleep(5); // every device identified, the first logs read
    sub.readAllStandardOutput();
    const double windowStart = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    const double cpu0 = cpuSeconds(gateway.processId());
    QElapsedTimer wall;
    wall.start();
    QByteArray received;
    while (wall.elapsed() < seconds * 1000) {
        sub.waitForReadyRead(200);
        received += sub.readAllStandardOutput();
    }
    const double cpu = cpuSeconds(gateway.processId()) - cpu0;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    const double rss = residentMiB(gateway.processId());
    std::vector<double> latencies;
    for (const QByteArray &line : received.split('\n')) {
        const int space = line.indexOf(' ');
        if (space < 0)
            continue;
        const double at = line.left(space).toDouble();
        const double sent = QJsonDocument::fromJson(line.mid(space + 1)).object().value(QStringLiteral("time")).toDouble();
        if (sent >= windowStart) // what came before is the start's, not the steady state's
            latencies.push_back((at - sent) * 1000.0);
    }
    std::sort(latencies.begin(), latencies.end());
    const int devices = lines * perLine;
    printf("%d lines x %d devices = %d devices at 1 Hz for %.0f s (%s)\n", lines, perLine, devices, elapsed,
           serial ? "pseudo-terminals at 19200 bit/s 8E1" : "Modbus TCP on the loopback");
    printf("  states published: %.1f a second (%.2f per device)\n", double(latencies.size()) / elapsed,
           double(latencies.size()) / elapsed / devices);
    printf("  gateway CPU: %.1f %% of one core, %.3f %% per device; memory %.1f MiB resident, %.0f KiB per device\n",
           100.0 * cpu / elapsed, 100.0 * cpu / elapsed / devices, rss, rss * 1024.0 / devices);
    if (!latencies.empty())
        printf("  reply to subscriber: median %.2f ms, 99th percentile %.2f ms, max %.2f ms\n",
               latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100], latencies.back());
    gateway.terminate();
    gateway.waitForFinished(10000);
    sub.kill();
    sub.waitForFinished();
    broker.terminate();
    broker.waitForFinished();
    outboxHour(dir.path(), devices);
    return 0;
}
