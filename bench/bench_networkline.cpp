// One transaction and one quiet polling cycle over each kind of network line on the
// loopback: the simulator's own servers for Modbus TCP and RTU over TCP, ser2net in
// front of the simulator's pseudo-terminal (19200 bit/s 8E1, line pacing) for RFC 2217.
// The loopback costs next to nothing: the figures are what the framing and the
// program add, a real network's round trip comes on top.
#include "bench/benchsupport.h"
#include "link/modbusport.h"
#include "sim/simtcpserver.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>


namespace {

constexpr int kTurnaroundMs = 5;
constexpr int kRuns = 20;
constexpr int kCycles = 8;

struct Figures {
    double first = -1; // after connecting the line is first waited quiet
    double mean = -1, median = 0, max = 0;
};

Figures transactions(const QString &url, int count)
{
    ModbusPort port(url.toUtf8());
    Figures f;
    if (!port.open()) {
        printf("  open %s: %s\n", qPrintable(url), qPrintable(port.errorString()));
        return f;
    }
    port.setSlaveAddress(1);
    port.setFrameFormat(ModbusPort::Format8E1);
    port.setSpeed(19200);
    std::vector<quint16> values(count);
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        if (!port.readRegisters(33, quint32(2 * count), values.data())) {
            printf("  read failed: %s\n", qPrintable(port.errorString()));
            return f;
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    f.first = ms.front();
    ms.erase(ms.begin());
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    f.mean = sum / ms.size();
    f.median = ms[ms.size() / 2];
    f.max = ms.back();
    return f;
}

// Mean milliseconds between the live values of cycles run back to back.
double cycleWork(const QString &url)
{
    ProtocolTiming timing;
    timing.cyclePeriodMs = 0;
    return bench::meanCyclePeriod(bench::quietDevice(70), url, timing, kCycles);
}

void report(const char *kind, const QString &url)
{
    printf("%s (%s):\n", kind, qPrintable(url));
    for (int count : {17, 4}) {
        const Figures f = transactions(url, count);
        if (f.mean >= 0)
            printf("  read %2d registers: first %.1f ms, then mean %.1f ms (median %.1f, max %.1f) over %d runs\n",
                   count, f.first, f.mean, f.median, f.max, kRuns - 1);
    }
    const double work = cycleWork(url);
    if (work >= 0)
        printf("  quiet polling cycle of modification 70 (6 transactions): %.0f ms of work\n", work);
    else
        printf("  polling cycle: no live values\n");
}


} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    sim.setTurnaroundMs(kTurnaroundMs);
    if (!sim.start()) {
        printf("simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    sim.setRegisterValue(1, 199, 1); // a quiet device: no auto-setup result, no oscillogram, no logs
    sim.setRegisterValue(1, 303, 0);
    printf("Simulator turnaround %d ms on its serial line; its TCP servers answer at once.\n", kTurnaroundMs);
    for (auto framing : {SimTcpServer::Framing::ModbusTcp, SimTcpServer::Framing::Rtu}) {
        SimTcpServer server(sim, framing);
        if (!server.listen(QStringLiteral("127.0.0.1"), 0)) {
            printf("server: %s\n", qPrintable(server.errorString()));
            return 1;
        }
        const bool mbap = framing == SimTcpServer::Framing::ModbusTcp;
        report(mbap ? "Modbus TCP" : "Modbus RTU over TCP",
               QStringLiteral("%1://127.0.0.1:%2")
                   .arg(QLatin1String(mbap ? "modbus-tcp" : "tcp"))
                   .arg(server.port()));
    }
    const QString ser2net = QStandardPaths::findExecutable(QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    if (ser2net.isEmpty()) {
        printf("RFC 2217: ser2net not found, skipped\n");
        return 0;
    }
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    QProcess server;
    const QStringList args {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-Y"),
                            QStringLiteral("connection: &line"), QStringLiteral("-Y"),
                            QStringLiteral("  accepter: telnet(rfc2217),tcp,127.0.0.1,%1").arg(port),
                            QStringLiteral("-Y"),
                            QStringLiteral("  connector: serialdev,%1,19200e81,local").arg(sim.linkPath())};
    server.start(ser2net, args);
    const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(port);
    QElapsedTimer wait;
    wait.start();
    while (!ModbusPort(url.toUtf8()).open() && wait.elapsed() < 10000)
        QThread::msleep(50); // ser2net is starting: a benchmark, not a test
    report("RFC 2217 through ser2net to a 19200 bit/s 8E1 line", url);
    server.kill();
    server.waitForFinished(5000);
    return 0;
}
