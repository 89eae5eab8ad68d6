#pragma once

#include <QtGlobal>

class ConfigPacket;

// The seven settings the protection simulation depends on, as the device stores them.
struct ProtectionSettings
{
    quint16 ratedCurrent = 0;         // device counts (amperes x current scale)
    quint16 minCurrent = 0;           // % of rated current
    quint16 overloadMultiple = 0;     // multiple of rated current
    quint16 doubleOverloadTime = 0;   // s
    bool fastProtection = false;
    quint16 overloadReactionTime = 0; // ms
    quint16 brokenPhasesAllowed = 0;

    static ProtectionSettings fromConfig(const ConfigPacket &config);
};

// A sample-by-sample copy of the device's protection logic, fed with one phase
// current at a time (per mille of rated current), three phases per 10 ms cycle.
// Used to draw the time-current characteristic; the arithmetic follows the
// device, single precision included, so that trip times match it sample for sample.
class ProtectionModel
{
public:
    static constexpr quint16 kFastThreshold = 10645;        // per mille of rated current
    static constexpr quint32 kSampleIntervalUs = 3333;      // a third of the 10 ms cycle
    static constexpr quint32 kTripTimeCapUs = 3600003297u;  // 1080109 samples, just over an hour
    static constexpr int kPhases = 3;
    // Thermal image: time constant per second of the double-overload time, the
    // per-sample weight, and the trip level, all single precision as in the device.
    static constexpr float kTimeConstantPerSecond = 9.32f;
    static constexpr float kThermalWeight = 0.01f;
    static constexpr float kThermalTripLevel = 1.1011f;
    static constexpr float kPerMille = 1000.0f;

    ProtectionModel() = default;
    explicit ProtectionModel(const ProtectionSettings &settings) : config(settings) {}

    const ProtectionSettings &settings() const { return config; }
    void setSettings(const ProtectionSettings &settings) { config = settings; }

    void reset();
    // One sample of phase 0..2; phase 2 ends a cycle.
    void sample(int phase, quint16 current);
    // Microseconds until a protection trips for a constant balanced current, or the cap.
    quint32 tripTime(quint16 current);

    bool tripped() const { return trippedFlag; }
    bool motorRunning() const { return running; }
    float thermalState() const { return thermal; }
    float thermalTimeConstant() const { return timeConstant; }
    quint8 runCounter() const { return runCount; }
    quint16 overloadCounter() const { return overloadCount; }
    quint8 brokenCounter(int phase) const { return validPhase(phase) ? brokenCounts[phase] : 0; }

private:
    static bool validPhase(int phase) { return phase >= 0 && phase < kPhases; }

    void checkFast(quint16 current);
    void checkOverload(int phase, quint16 current);
    void updateThermal(quint16 current);
    void detectRunning(int phase, quint16 current);
    bool showsCurrent() const;
    void checkBrokenPhases(int phase, quint16 current);

    ProtectionSettings config;
    quint16 fastThreshold = kFastThreshold;
    bool running = false;
    float timeConstant = 1.0f;
    float thermal = 0.0f;
    quint8 runCount = 0;
    bool trippedFlag = false;
    quint16 overloadCount = 0;
    bool overloadFlags[kPhases] = {};
    quint8 brokenCounts[kPhases] = {};
    quint16 phaseCurrents[kPhases] = {};
};
