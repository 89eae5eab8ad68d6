// Time of one Modbus transaction through the simulator at 19200 bit/s 8E1 with
// line pacing, against the physical bound of the line, for both ways of ending a
// reply: by its length (and 3.5 characters of silence) and by 250 ms of silence.
#include "link/modbusport.h"
#include "sim/simulator.h"

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

void measure(ModbusPort &port, int firstRegister, int count, double silenceMs)
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
    printf("  with the %.2f ms silence that ends the response: %.1f ms; ratio %.2f\n", silenceMs, bound + silenceMs,
           mean / (bound + silenceMs));
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
    for (ModbusPort::Framing framing : {ModbusPort::Framing::Length, ModbusPort::Framing::Gap}) {
        port.setFraming(framing);
        const bool length = framing == ModbusPort::Framing::Length;
        printf("One transaction at %u bit/s 8E1, simulator turnaround %d ms, reply ended by its %s\n", kBaud,
               kTurnaroundMs, length ? "length" : "250 ms gap");
        const double silenceMs = length ? port.frameSilenceUs() / 1000.0 : ModbusPort::kInterByteGapMs;
        measure(port, 33, 17, silenceMs);
        measure(port, 1, 4, silenceMs);
    }
    return 0;
}
