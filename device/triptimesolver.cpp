#include "device/triptimesolver.h"

#include <algorithm>
#include <cstring>

// The arithmetic below repeats ProtectionModel's, with the same constants and the
// same order of single-precision operations; this file is compiled without fused
// multiply-add, as that one is.
namespace {


// Running detection and broken phases, the integer part of the model that depends
// on the current over time. Its state repeats from one cycle to the next once the
// counters have settled; from then on it can never trip.
struct CounterState {
    bool running = false;
    quint8 runCount = 0;
    quint8 broken[ProtectionModel::kPhases] = {};
    bool operator==(const CounterState &o) const
    {
        return running == o.running && runCount == o.runCount && std::equal(broken, broken + ProtectionModel::kPhases, o.broken);
    }
};

bool showsCurrent(bool running, quint16 current)
{
    // All three phases carry the same current: "all above low" decides, the other
    // two conditions of the model add nothing for three equal currents.
    const quint16 low = running ? 87 : 89;
    return current > low;
}

void cycleRunning(CounterState &s, quint16 current)
{
    if (showsCurrent(s.running, current)) {
        if (s.runCount == 20) {
            s.running = true;
            return;
        }
        ++s.runCount;
    } else {
        if (s.runCount == 0) {
            s.running = false;
            return;
        }
        --s.runCount;
    }
    if (s.runCount != 10)
        s.running = s.runCount > 10;
}

bool sameBits(float a, float b)
{
    quint32 x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

} // namespace

quint32 TripTimeSolver::tripTime(quint16 current) const
{
    quint32 first = std::min({fastTripSample(current), overloadTripSample(current), brokenPhaseTripSample(current),
                              kCapSamples});
    first = std::min(first, thermalTripSample(current, first));
    return first * ProtectionModel::kSampleIntervalUs;
}

quint32 TripTimeSolver::fastTripSample(quint16 current) const
{
    const bool trips = config.fastProtection && qint16(current) >= int(ProtectionModel::kFastThreshold);
    return trips ? 1 : kNever;
}

// Every phase is above the threshold or none is: the counter climbs by one a cycle
// and trips when it reaches the reaction time in tens of milliseconds (at once
// below 10 ms), at the third sample of that cycle.
quint32 TripTimeSolver::overloadTripSample(quint16 current) const
{
    if (!(current / 10 > config.overloadMultiple * 100))
        return kNever;
    const quint32 cycles = std::max<quint32>(1, config.overloadReactionTime / 10);
    return cycles * ProtectionModel::kPhases;
}

quint32 TripTimeSolver::brokenPhaseTripSample(quint16 current) const
{
    const bool below = current <= config.minCurrent * 10;
    CounterState s;
    CounterState atCycleStart;
    quint32 n = 0;
    for (;;) {
        atCycleStart = s;
        for (int phase = 0; phase < ProtectionModel::kPhases; ++phase) {
            ++n;
            if (phase == ProtectionModel::kPhases - 1)
                cycleRunning(s, current);
            quint8 &counter = s.broken[phase];
            if (below && s.running) {
                if (counter != 255)
                    ++counter;
            } else if (counter > 0) {
                --counter;
            }
            const auto broken = std::count_if(s.broken, s.broken + ProtectionModel::kPhases, [](quint8 c) { return c >= 100; });
            if (broken > config.brokenPhasesAllowed)
                return n;
        }
        if (s == atCycleStart || n >= kCapSamples)
            return kNever;
    }
}

// The thermal image climbs from 0 towards m² and, in single precision, never
// passes it: each step adds at most (m² - T) x 0.01 / 9.32 rounded, less than what
// is left. So when m² is at or under the trip level it never trips (for a time
// constant of at least 9.32, i.e. a double-overload time of 1 s or more). Otherwise
// it is iterated until it trips, stops changing, or the other parts trip first.
quint32 TripTimeSolver::thermalTripSample(quint16 current, quint32 lastSample) const
{
    const float timeConstant = ProtectionModel::kTimeConstantPerSecond * float(config.doubleOverloadTime);
    const float m = float(current) / ProtectionModel::kPerMille;
    const float target = m * m;
    if (config.doubleOverloadTime >= 1 && !(target > ProtectionModel::kThermalTripLevel))
        return kNever;
    float thermal = 0.0f;
    for (quint32 n = 1; n <= lastSample; ++n) {
        const float next = thermal + (target - thermal) * ProtectionModel::kThermalWeight / timeConstant;
        if (next > ProtectionModel::kThermalTripLevel)
            return n;
        if (sameBits(next, thermal))
            return kNever;
        thermal = next;
    }
    return kNever;
}
