#include "device/protectionmodel.h"

#include "device/configpacket.h"

#include <algorithm>
#include <iterator>

namespace {

// Running detection, per mille: all three phases above low, two above middle or
// one above high. Lower limits once running, so that the state does not flicker.
struct RunLimits { quint16 low, middle, high; };
constexpr RunLimits kLimitsRunning = {87, 117, 147};
constexpr RunLimits kLimitsStopped = {89, 119, 149};
constexpr quint8 kRunCounterMax = 20;
constexpr quint8 kRunCounterMiddle = 10;

// Broken phases: a phase counts as broken after this many samples below the
// minimum current; the counter saturates at 255.
constexpr quint8 kBrokenSamples = 100;
constexpr quint8 kBrokenCounterMax = 255;

} // namespace

ProtectionSettings ProtectionSettings::fromConfig(const ConfigPacket &config)
{
    ProtectionSettings s;
    s.ratedCurrent = config.ratedCurrent();
    s.minCurrent = config.minCurrent();
    s.overloadMultiple = config.overloadMultiple();
    s.doubleOverloadTime = config.doubleOverloadTime();
    s.fastProtection = config.fastProtection();
    s.overloadReactionTime = config.overloadReactionTime();
    s.brokenPhasesAllowed = config.brokenPhasesAllowed();
    return s;
}

void ProtectionModel::reset()
{
    running = false;
    timeConstant = kTimeConstantPerSecond * float(config.doubleOverloadTime);
    thermal = 0.0f;
    overloadCount = 0;
    runCount = 0;
    std::fill(std::begin(overloadFlags), std::end(overloadFlags), false);
    std::fill(std::begin(phaseCurrents), std::end(phaseCurrents), quint16(0));
    std::fill(std::begin(brokenCounts), std::end(brokenCounts), quint8(0));
    trippedFlag = false;
}

void ProtectionModel::sample(int phase, quint16 current)
{
    if (!validPhase(phase))
        return;
    checkFast(current);
    checkOverload(phase, current);
    updateThermal(current);
    detectRunning(phase, current);
    checkBrokenPhases(phase, current);
}

quint32 ProtectionModel::tripTime(quint16 current)
{
    reset();
    quint32 t = 0;
    for (int phase = 0;; phase = (phase + 1) % kPhases) {
        sample(phase, current);
        t += kSampleIntervalUs;
        if (trippedFlag || t >= kTripTimeCapUs)
            return t;
    }
}

void ProtectionModel::checkFast(quint16 current)
{
    // The device compares the sample as a signed word.
    if (config.fastProtection && qint16(current) >= int(fastThreshold))
        trippedFlag = true;
}

void ProtectionModel::checkOverload(int phase, quint16 current)
{
    overloadFlags[phase] = current / 10 > config.overloadMultiple * 100;
    if (phase != kPhases - 1)
        return;
    const bool above = std::any_of(std::begin(overloadFlags), std::end(overloadFlags), [](bool f) { return f; });
    if (above) {
        ++overloadCount;
        // "Reached", not "equal": a reaction time under 10 ms trips in the first cycle.
        if (overloadCount >= config.overloadReactionTime / 10) {
            trippedFlag = true;
            overloadCount = 0;
        }
    } else if (overloadCount > 0) {
        --overloadCount;
    }
}

void ProtectionModel::updateThermal(quint16 current)
{
    const float m = float(current) / kPerMille;
    thermal = thermal + (m * m - thermal) * kThermalWeight / timeConstant;
    if (thermal > kThermalTripLevel)
        trippedFlag = true;
}

bool ProtectionModel::showsCurrent() const
{
    const RunLimits &l = running ? kLimitsRunning : kLimitsStopped;
    int aboveLow = 0, aboveMiddle = 0, aboveHigh = 0;
    for (quint16 c : phaseCurrents) {
        aboveLow += c > l.low;
        aboveMiddle += c > l.middle;
        aboveHigh += c > l.high;
    }
    return aboveLow == kPhases || aboveMiddle >= 2 || aboveHigh >= 1;
}

void ProtectionModel::detectRunning(int phase, quint16 current)
{
    phaseCurrents[phase] = current;
    if (phase != kPhases - 1)
        return;
    if (showsCurrent()) {
        if (runCount == kRunCounterMax) {
            running = true;
            return;
        }
        ++runCount;
    } else {
        if (runCount == 0) {
            running = false;
            return;
        }
        --runCount;
    }
    if (runCount != kRunCounterMiddle)
        running = runCount > kRunCounterMiddle;
}

void ProtectionModel::checkBrokenPhases(int phase, quint16 current)
{
    quint8 &counter = brokenCounts[phase];
    const bool belowMinimum = current <= config.minCurrent * 10;
    if (belowMinimum && running) {
        if (counter != kBrokenCounterMax)
            ++counter;
    } else if (counter > 0) {
        --counter;
    }
    const auto broken = std::count_if(std::begin(brokenCounts), std::end(brokenCounts),
                                      [](quint8 c) { return c >= kBrokenSamples; });
    if (broken > config.brokenPhasesAllowed)
        trippedFlag = true;
}
