// Time of one Modbus transaction through the simulator at 19200 bit/s 8E1 with
// line pacing, against the physical bound of the line.
#include "modbusport.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr quint32 kBaud = 19200;
constexpr int kBitsPerChar = 11; // start, 8 data, parity, stop
constexpr int kTurnaroundMs = 5;
constexpr int kRuns = 20;

double charMs()
{
    return 1000.0 * kBitsPerChar / kBaud;
}

void measure(ModbusPort &port, int firstRegister, int count)
{
    std::vector<double> ms;
    std::vector<quint16> values(count);
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        if (!port.readRegisters(quint32(firstRegister), quint32(2 * count), values.data())) {
            printf("read failed: %s\n", qPrintable(port.errorString()));
            return;
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    const int bytes = 8 + 5 + 2 * count;
    const double bound = bytes * charMs() + kTurnaroundMs;
    const double mean = sum / ms.size();
    printf("read %2d registers: mean %.1f ms (min %.1f, median %.1f, max %.1f) over %d runs\n", count, mean,
           ms.front(), ms[ms.size() / 2], ms.back(), kRuns);
    printf("  physical bound: %d bytes x %.3f ms + %d ms turnaround = %.1f ms; ratio %.2f\n", bytes, charMs(),
           kTurnaroundMs, bound, mean / bound);
    printf("  with the %d ms silence that ends every response: %.1f ms; ratio %.2f\n", ModbusPort::kInterByteGapMs,
           bound + ModbusPort::kInterByteGapMs, mean / (bound + ModbusPort::kInterByteGapMs));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {});
    sim.setTurnaroundMs(kTurnaroundMs);
    if (!sim.start()) {
        printf("simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    ModbusPort port(sim.linkPath().toLocal8Bit());
    if (!port.open()) {
        printf("open: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    port.setSlaveAddress(1);
    port.setFrameFormat(ModbusPort::Format8E1);
    port.setSpeed(kBaud);
    port.setReadTimeout(1900);
    printf("One transaction at %u bit/s 8E1, simulator turnaround %d ms\n", kBaud, kTurnaroundMs);
    measure(port, 33, 17);
    measure(port, 1, 4);
    return 0;
}
