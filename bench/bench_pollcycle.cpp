// The polling cycle of a connection through the simulator at 19200 bit/s 8E1 with
// line pacing: the work of one quiet cycle (cycles run back to back) and the period
// with the one-second pause, for modifications 70 and 80 and both ways of ending a
// reply, against the physical bound of the cycle's transactions.
#include "bench/benchsupport.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr int kTurnaroundMs = 5;
constexpr int kCycles = 8;
constexpr double kCharMs = 1000.0 * 11 / 19200;

// Registers read by a quiet cycle: progress (6), oscillogram code (1), monitoring
// (17, 1 and for modification 80 the start counter, 2), the two record times (2, 2).
std::vector<int> cycleReads(int modification)
{
    std::vector<int> counts {6, 1, 17, 1};
    if (modification >= 80)
        counts.push_back(2);
    counts.insert(counts.end(), {2, 2});
    return counts;
}

double boundMs(int modification, double silenceMs)
{
    double total = 0;
    for (int n : cycleReads(modification))
        total += (8 + 5 + 2 * n) * kCharMs + kTurnaroundMs + silenceMs;
    return total;
}

// Mean milliseconds between the live values of successive cycles.
double cyclePeriod(int modification, const ProtocolTiming &timing)
{
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, modification, 0, 19200, 2, 10});
    sim.setTurnaroundMs(kTurnaroundMs);
    if (!sim.start())
        return -1;
    sim.setRegisterValue(1, 199, 1); // a quiet device: no auto-setup result, no oscillogram, no logs
    sim.setRegisterValue(1, 303, 0);
    return bench::meanCyclePeriod(bench::quietDevice(modification), sim.linkPath(), timing, kCycles);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    for (int modification : {70, 80}) {
        for (ModbusPort::Framing framing : {ModbusPort::Framing::Length, ModbusPort::Framing::Gap}) {
            const bool length = framing == ModbusPort::Framing::Length;
            ProtocolTiming timing;
            timing.framing = framing;
            const double silenceMs = length ? 2.0 : ModbusPort::kInterByteGapMs; // 3.5 characters at 19200: 2.0 ms
            const double period = cyclePeriod(modification, timing);
            timing.cyclePeriodMs = 0;
            const double work = cyclePeriod(modification, timing);
            const double bound = boundMs(modification, 0), boundSilent = boundMs(modification, silenceMs);
            printf("modification %d, %zu transactions, reply ended by its %s:\n", modification,
                   cycleReads(modification).size(), length ? "length" : "250 ms gap");
            printf("  cycle work %.0f ms, period %.0f ms (over %d cycles)\n", work, period, kCycles - 1);
            printf("  physical bound %.0f ms; with the silences that end the replies %.0f ms; work ratio %.2f / %.2f\n",
                   bound, boundSilent, work / bound, work / boundSilent);
        }
    }
    return 0;
}
