#include "sim/simpreset.h"

#include "device/registermap.h"
#include "sim/simlogbook.h"
#include "sim/simmotor.h"
#include "sim/simoscillogram.h"
#include "sim/simstartcurve.h"

using namespace RegisterMap;

namespace {

constexpr quint32 kHour = 3600;
constexpr quint32 kDay = 24 * kHour;

// Settings 6..29 as a service engineer would leave them, in the device's encodings.
constexpr quint16 kSettings[] = {
    20,  // 6 minimum current, % of rated
    5,   // 7 overload threshold, multiple of rated
    20,  // 8 imbalance threshold, %
    60,  // 9 trip time at double overload, s
    5,   // 10 switch-on delay, s
    0,   // 11 automatic restart off
    1,   // 12 phase sequence check on
    0,   // 13 fast protection off: the auxiliary output is not the trip coil (no consistency rule broken)
    100, // 14 overload reaction time, ms
    0,   // 15 broken phases allowed
    1,   // 16 PTC protection on
    0,   // 17 humidity protection off
    1,   // 18 PT100 protection on
    120, // 19 PT100 threshold, deg C
    0,   // 20 voltage tolerance: -15 +10 %
    0,   // 21 cyclic mode off
    60,  // 22 cyclic work time, min
    30,  // 23 cyclic pause time, min
    0,   // 24 input 1: none
    0,   // 25 input 2: none
    0,   // 26 power output: standard
    4,   // 27 auxiliary output: remote controlled
    5,   // 28 switch delay, s
    1,   // 29 remote control enabled
};
constexpr quint16 kImbalanceTripMs = 500; // 30
constexpr quint16 kMainsVolts[3] = {380, 381, 379};
constexpr qint16 kRoomTemperature = 21;
constexpr quint16 kPresetSensorNormal = 1;      // PTC and humidity state "normal"
constexpr quint16 kStopPermitted = 0x8000; // outputs bit 15
constexpr quint16 kWorkTimeHours = 1250;
constexpr quint32 kStarts = 342;

constexpr quint16 kOverloadCode = 31;  // overcurrent trip
constexpr quint16 kImbalanceCode = 10; // phase current imbalance trip

// A crash record with phase currents falling by spread (a fraction) from phase A to C.
SimLogBook::Crash crashRecord(quint16 code, quint32 time, int counts, double spread)
{
    SimLogBook::Crash crash;
    crash.code = code;
    crash.time = time;
    for (int phase = 0; phase < 3; ++phase) {
        crash.currents[phase] = quint16(counts * (1.0 - spread * phase));
        crash.voltages[phase] = kMainsVolts[phase];
    }
    return crash;
}

void storeOscillogramOf(SimRegisters &regs, const SimLogBook::Crash &crash, quint16 currentScale)
{
    SimOscillogram::Trip trip;
    trip.time = crash.time;
    trip.code = crash.code;
    for (int phase = 0; phase < 3; ++phase) {
        trip.amps[phase] = double(crash.currents[phase]) / qMax<quint16>(currentScale, 1);
        trip.volts[phase] = crash.voltages[phase];
    }
    SimOscillogram::store(regs, trip);
}

} // namespace

quint16 SimPreset::ratedCounts(const SimDeviceConfig &config)
{
    return quint16(config.ratedMinCounts * 4);
}

void SimPreset::fill(SimRegisters &regs, const SimDeviceConfig &config, quint32 nowSec)
{
    fillIdentification(regs, config);
    fillConfiguration(regs, config);
    fillMonitoring(regs);
    fillLogs(regs, config, nowSec);
    fillStartRecord(regs, config, nowSec);
    regs.set(WorkTime, kWorkTimeHours);
    if (config.modification >= kV80)
        regs.set32(StartCount, kStarts);
}

void SimPreset::fillIdentification(SimRegisters &regs, const SimDeviceConfig &config)
{
    regs.set(Identification, config.currentScale);
    regs.set(Identification + 1, config.ratedMinCounts);
    regs.set(Identification + 2, quint16(config.ratedMinCounts * 10));
    regs.set(Identification + 3, quint16(config.modification));
}

void SimPreset::fillConfiguration(SimRegisters &regs, const SimDeviceConfig &config)
{
    regs.set(Configuration, ratedCounts(config));
    int reg = Configuration + 1;
    for (quint16 v : kSettings)
        regs.set(reg++, v);
    if (config.modification >= kV50)
        regs.set(ConfigurationV50, kImbalanceTripMs);
    if (config.modification >= kV70)
        regs.fill(ConfigurationV70, ConfigurationV70 + 1, 0);
}

void SimPreset::fillMonitoring(SimRegisters &regs)
{
    regs.fill(Monitoring, DeviceClock - 1, 0);
    regs.set(Outputs, kStopPermitted);
    regs.set(39, kPresetSensorNormal);                 // PTC
    regs.set(40, kPresetSensorNormal);                 // humidity
    regs.set(41, quint16(kRoomTemperature));     // PT100, deg C
    for (int phase = 0; phase < 3; ++phase)
        regs.set(45 + phase, kMainsVolts[phase]); // currents 42..44 stay 0: motor at rest
}

void SimPreset::fillLogs(SimRegisters &regs, const SimDeviceConfig &config, quint32 nowSec)
{
    const int rated = ratedCounts(config);
    const quint32 firstStart = nowSec - 3 * kDay;
    const quint32 lastStart = nowSec - kDay;
    SimLogBook::addWork(regs, SimLogBook::kStart, firstStart, quint16(rated * SimMotor::kInrushMultiple));
    SimLogBook::addCrash(regs, crashRecord(kOverloadCode, firstStart + 2 * kHour, rated * 3, 0.02));
    SimLogBook::addWork(regs, SimLogBook::kStop, firstStart + 2 * kHour, 0);
    SimLogBook::addWork(regs, SimLogBook::kStart, lastStart, quint16(rated * SimMotor::kInrushMultiple - 3));
    SimLogBook::addWork(regs, SimLogBook::kStop, lastStart + 5 * kHour, 0);
    const SimLogBook::Crash newest = crashRecord(kImbalanceCode, lastStart + 5 * kHour, rated, 0.3);
    SimLogBook::addCrash(regs, newest);
    storeOscillogramOf(regs, newest, config.currentScale);
}

void SimPreset::fillStartRecord(SimRegisters &regs, const SimDeviceConfig &config, quint32 nowSec)
{
    SimStartCurve::Start start;
    start.time = nowSec - kDay;
    start.baseCounts = ratedCounts(config);
    SimStartCurve::store(regs, start);
    regs.set(AutoSetupState, 0);
    regs.set(AutoSetupState + 1, SimStartCurve::kComplete); // data accumulated
}
