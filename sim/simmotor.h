#pragma once

#include <QtGlobal>

// The motor behind a simulated device: an inrush at each start decaying to the load
// current, calculated heating that follows the square of the current, and the two
// protections that act on the current (overcurrent and thermal overload). Time comes
// from the caller, so the model is the same whether a line or a test drives it; the
// noise is a function of seed, channel and time, never of how often it is asked.
class SimMotor
{
public:
    // Protection settings taken from the configuration registers.
    struct Protection {
        double ratedAmps = 20.0;
        double overloadMultiple = 5.0;      // overcurrent threshold, multiple of rated
        double doubleOverloadSeconds = 60.0; // trip time at twice the rated current, from cold
        int reactionMs = 100;               // overcurrent must last this long
    };
    struct Reading {
        double amps[3] = {0, 0, 0};
        double volts[3] = {0, 0, 0};
        double heating = 0;     // percent; 100 trips
        double temperature = 0; // PT100, deg C
    };
    struct Trip {
        int code = 0; // 0: none
        qint64 atMs = 0;
        Reading reading; // at the moment of the trip
    };

    // Fault codes the model trips with.
    static constexpr int kOvercurrentTrip = 31;
    static constexpr int kThermalTrip = 32;

    // The start a healthy motor makes under the preset's settings: its peak stays under
    // the overcurrent threshold (5 x rated, which trips after 100 ms whether starting or
    // not), and the few seconds it lasts heat far less than the thermal image allows.
    static constexpr double kInrushMultiple = 4.5;      // start peak, multiple of rated
    static constexpr double kInrushDecaySeconds = 0.8;
    static constexpr qint64 kStartPhaseMs = 3000;       // overcurrent protection waits out the start
    static constexpr double kDefaultLoadPercent = 80.0;
    static constexpr double kCoolingSlowdown = 4.0;     // a motor at rest cools this much slower
    static constexpr double kAmbient = 21.0;            // deg C
    static constexpr double kDegreesPerPercent = 0.8;   // winding temperature rise per percent of heating
    static constexpr double kMainsVolts = 380.0;

    explicit SimMotor(qint64 nowMs);

    void setSeed(quint64 seed) { noiseSeed = seed; }
    bool running() const { return direction != 0; }
    int rotation() const { return direction; } // 0 at rest, 1 forward, 2 backward
    void start(int rotation, qint64 nowMs);
    void stop();
    void setLoadPercent(double percent) { loadPercent = qMax(0.0, percent); }
    double load() const { return loadPercent; }

    // Runs the model up to nowMs; the first trip on the way stops the motor there.
    Trip advance(qint64 nowMs, const Protection &protection);
    Reading reading(qint64 nowMs, const Protection &protection) const;
    // Current as a multiple of the rated current, without noise.
    double currentMultiple(qint64 atMs) const;
    // Running time since the last call.
    qint64 takeRunningMs();
    double heatingPercent() const { return heating; }

    // A reproducible value in [-1, 1) for one channel in one time slot.
    static double noise(quint64 seed, int channel, qint64 slot);

private:
    qint64 stepEnd(qint64 nowMs) const;
    double heatingMultiple() const;
    Trip step(qint64 endMs, const Protection &protection);
    qint64 thermalTripAt(qint64 endMs, double target, double tauMs) const;
    qint64 overcurrentTripAt(qint64 endMs, double multiple, const Protection &protection);
    Trip tripAt(int code, qint64 atMs, const Protection &protection);

    int direction = 0;
    qint64 startedMs = 0;
    qint64 lastMs = 0;
    qint64 overSinceMs = -1; // overcurrent began; -1 none
    qint64 unreportedRunMs = 0;
    double heating = 0;
    double loadPercent = kDefaultLoadPercent;
    quint64 noiseSeed = 1;
};
