// Period of the polling cycle of a connection through the simulator at 19200
// bit/s 8E1 with line pacing, against the physical bound of its transactions.
#include "dataevent.h"
#include "datathread.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr int kTurnaroundMs = 5;
constexpr int kCycles = 8;

// Requests and replies of a quiet cycle of a modification-70 device: progress (6 registers),
// oscillogram code (1), monitoring (17 and 1), the two record times (2 and 2).
double boundMs(bool withGap)
{
    const int counts[] = {6, 1, 17, 1, 2, 2};
    const double charMs = 1000.0 * 11 / 19200;
    double total = 0;
    for (int n : counts)
        total += (8 + 5 + 2 * n) * charMs + kTurnaroundMs + (withGap ? 250 : 0);
    return total;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {});
    sim.setTurnaroundMs(kTurnaroundMs);
    if (!sim.start())
        return 1;
    sim.setRegisterValue(1, 199, 1); // a quiet device: no auto-setup result, no oscillogram, no logs
    sim.setRegisterValue(1, 303, 0);
    DeviceInfo d;
    d.address = 1;
    d.baudRate = 19200;
    d.modification = 70;
    d.currentScale = 2;
    d.minRatedCurrent = 5;
    d.maxRatedCurrent = 50;
    DataThread thread(d, sim.linkPath());
    std::vector<qint64> stamps;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&thread, &DataThread::dataEvent, &app, [&](const DataEventPtr &e) {
        if (e->type() == DataEvent::Get)
            stamps.push_back(clock.elapsed());
        if (int(stamps.size()) > kCycles)
            app.quit();
    });
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    thread.startExchange();
    app.exec();
    thread.stopExchange();
    if (stamps.size() < 3) {
        printf("too few cycles\n");
        return 1;
    }
    const double period = double(stamps.back() - stamps[1]) / double(stamps.size() - 2);
    printf("polling cycle (modification 70, quiet device, 6 transactions): %.0f ms per cycle over %d cycles\n",
           period, int(stamps.size() - 2));
    printf("  physical bound of its transactions: %.0f ms; with the 250 ms end-of-response silence: %.0f ms\n",
           boundMs(false), boundMs(true));
    printf("  ratio to the physical bound %.2f; to the bound with silences %.2f\n", period / boundMs(false),
           period / boundMs(true));
    return 0;
}
