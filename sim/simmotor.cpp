#include "sim/simmotor.h"

#include <cmath>
#include <limits>

namespace {

constexpr qint64 kFineStepMs = 50;     // integration step while the inrush decays
constexpr qint64 kNoiseSlotMs = 250;   // noise holds still this long
constexpr double kCurrentNoise = 0.01; // +-1 % of the current
constexpr double kVoltageNoise = 1.5;  // +-1.5 V
constexpr double kPhaseBalance[3] = {1.0, 0.985, 1.012};
constexpr double kVoltageOffset[3] = {0.0, 1.0, -1.0};
const double kColdToTrip = std::log(4.0 / 3.0); // heating 0 -> 100 at twice the rated current

double thermalTauMs(const SimMotor::Protection &p)
{
    return qMax(1.0, p.doubleOverloadSeconds) * 1000.0 / kColdToTrip;
}

} // namespace

SimMotor::SimMotor(qint64 nowMs)
    : lastMs(nowMs)
{
}

double SimMotor::noise(quint64 seed, int channel, qint64 slot)
{
    quint64 z = seed * 0x9E3779B97F4A7C15ull + quint64(channel) * 0xBF58476D1CE4E5B9ull + quint64(slot);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull; // splitmix64 finaliser
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return double(z >> 11) / double(1ull << 52) - 1.0;
}

void SimMotor::start(int rotation, qint64 nowMs)
{
    direction = rotation;
    startedMs = nowMs;
    overSinceMs = -1;
}

void SimMotor::stop()
{
    direction = 0;
    overSinceMs = -1;
}

double SimMotor::currentMultiple(qint64 atMs) const
{
    if (!running())
        return 0.0;
    const double load = loadPercent / 100.0;
    const double t = qMax<qint64>(0, atMs - startedMs) / 1000.0;
    return load + (kInrushMultiple - load) * std::exp(-t / kInrushDecaySeconds);
}

qint64 SimMotor::takeRunningMs()
{
    const qint64 ran = unreportedRunMs;
    unreportedRunMs = 0;
    return ran;
}

SimMotor::Trip SimMotor::advance(qint64 nowMs, const Protection &protection)
{
    Trip first;
    while (lastMs < nowMs) {
        const Trip t = step(stepEnd(nowMs), protection);
        if (first.code == 0)
            first = t;
    }
    return first;
}

// Fine steps on a grid from the start while the inrush decays; after it the current is
// steady and one exact step will do. Polling at other moments splits steps, never moves them.
qint64 SimMotor::stepEnd(qint64 nowMs) const
{
    const qint64 since = lastMs - startedMs;
    if (running() && since < kStartPhaseMs)
        return qMin(nowMs, startedMs + (since / kFineStepMs + 1) * kFineStepMs);
    return nowMs;
}

// The current that heats over the step beginning at lastMs.
double SimMotor::heatingMultiple() const
{
    if (!running())
        return 0.0;
    const qint64 since = lastMs - startedMs;
    if (since >= kStartPhaseMs)
        return loadPercent / 100.0;
    return currentMultiple(startedMs + since / kFineStepMs * kFineStepMs);
}

SimMotor::Trip SimMotor::step(qint64 endMs, const Protection &protection)
{
    const double multiple = heatingMultiple();
    const double target = running() ? multiple * multiple * 100.0 : 0.0;
    const double tau = thermalTauMs(protection) * (running() ? 1.0 : kCoolingSlowdown);
    const qint64 thermal = thermalTripAt(endMs, target, tau);
    const qint64 overcurrent = overcurrentTripAt(endMs, multiple, protection);
    const qint64 until = qMin(qMin(thermal, overcurrent), endMs);
    heating = target + (heating - target) * std::exp(-(until - lastMs) / tau);
    if (running())
        unreportedRunMs += until - lastMs;
    lastMs = until;
    if (until == thermal)
        return tripAt(kThermalTrip, until, protection);
    if (until == overcurrent)
        return tripAt(kOvercurrentTrip, until, protection);
    return Trip();
}

qint64 SimMotor::thermalTripAt(qint64 endMs, double target, double tauMs) const
{
    constexpr qint64 never = std::numeric_limits<qint64>::max();
    if (!running())
        return never;
    if (heating >= 100.0)
        return lastMs;
    if (target <= 100.0)
        return never;
    const qint64 at = lastMs + qint64(std::ceil(tauMs * std::log((target - heating) / (target - 100.0))));
    return at <= endMs ? at : never;
}

// Overcurrent counts only after the start phase and must last the reaction time.
qint64 SimMotor::overcurrentTripAt(qint64 endMs, double multiple, const Protection &protection)
{
    const bool over = running() && lastMs - startedMs >= kStartPhaseMs && multiple > protection.overloadMultiple;
    if (!over) {
        overSinceMs = -1;
        return std::numeric_limits<qint64>::max();
    }
    if (overSinceMs < 0)
        overSinceMs = lastMs;
    const qint64 at = overSinceMs + protection.reactionMs;
    return at <= endMs ? qMax(at, lastMs) : std::numeric_limits<qint64>::max();
}

SimMotor::Trip SimMotor::tripAt(int code, qint64 atMs, const Protection &protection)
{
    Trip t;
    t.code = code;
    t.atMs = atMs;
    t.reading = reading(atMs, protection);
    stop();
    return t;
}

SimMotor::Reading SimMotor::reading(qint64 nowMs, const Protection &protection) const
{
    Reading r;
    const qint64 slot = nowMs / kNoiseSlotMs;
    const double amps = currentMultiple(nowMs) * protection.ratedAmps;
    for (int phase = 0; phase < 3; ++phase) {
        const double jitter = 1.0 + kCurrentNoise * noise(noiseSeed, phase, slot);
        r.amps[phase] = amps * kPhaseBalance[phase] * jitter;
        r.volts[phase] = kMainsVolts + kVoltageOffset[phase] + kVoltageNoise * noise(noiseSeed, 3 + phase, slot);
    }
    r.heating = heating;
    r.temperature = kAmbient + kDegreesPerPercent * heating;
    return r;
}
