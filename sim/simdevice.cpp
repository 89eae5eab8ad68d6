#include "sim/simdevice.h"

#include "device/enginecommand.h"
#include "device/registermap.h"
#include "link/rtuframing.h"
#include "sim/simlogbook.h"
#include "sim/simoscillogram.h"
#include "sim/simpreset.h"
#include "sim/simstartcurve.h"

#include <cmath>

using namespace RegisterMap;

namespace {

// Settings the device acts on.
constexpr int kOverloadMultiple = 7;
constexpr int kDoubleOverloadTime = 9;
constexpr int kReactionTime = 14;
constexpr int kAuxFunction = 27;   // 1: the auxiliary output signals a trip
constexpr int kRemoteControl = 29; // motor commands over the link allowed
constexpr quint16 kAuxAlarm = 1;
// Monitoring registers.
constexpr int kHeating = 33;
constexpr int kFaultCode = 34;
constexpr int kMotorState = 38; // 0 at rest, 1 forward, 2 backward
constexpr int kPtcState = 39;
constexpr int kPt100 = 41;
constexpr int kCurrents = 42;
constexpr int kVoltages = 45;
constexpr quint16 kSensorNormal = 1;
constexpr quint16 kPtcOverheat = 2;
constexpr double kPtcOverheatPercent = 105.0; // the thermistor reacts past the calculated limit

constexpr qint64 kHourMs = 3600000;

bool within(int reg, int first, int last)
{
    return reg >= first && reg <= last;
}

quint32 replaceWord(quint32 value, int high, quint16 word)
{
    return high ? (value & 0xFFFFu) | (quint32(word) << 16) : (value & 0xFFFF0000u) | word;
}

} // namespace

SimDevice::SimDevice(const SimDeviceConfig &config, qint64 nowMs)
    : cfg(config)
    , motor(nowMs)
{
    SimPreset::fill(regs, cfg, quint32(nowMs / 1000));
    setSeed(1);
}

void SimDevice::setSeed(quint64 seed)
{
    motor.setSeed(seed * 1000003u + quint64(cfg.address)); // devices on one line differ
}

SimDevice::Answer SimDevice::refuse(int code)
{
    Answer a;
    a.exception = code;
    return a;
}

SimDevice::Answer SimDevice::handle(const SimFrame &request, qint64 nowMs)
{
    advance(nowMs);
    const bool wasArmed = armed;
    armed = false;
    switch (request.function) {
    case SimFrame::ReadHolding: return read(request, nowMs);
    case SimFrame::WriteSingle: return writeSingle(request, wasArmed, nowMs);
    case SimFrame::WriteMultiple: return writeMultiple(request, wasArmed, nowMs);
    default: return refuse(SimFrame::IllegalFunction);
    }
}

bool SimDevice::exists(int reg) const
{
    if (!SimRegisters::inRange(reg))
        return false;
    if (reg == ConfigurationV50 || within(reg, StartPeaks, StartPeaks + kLogRecords - 1))
        return cfg.modification >= SimPreset::kV50;
    if (within(reg, ConfigurationV70, ConfigurationV70 + 1))
        return cfg.modification >= SimPreset::kV70;
    if (within(reg, StartCount, StartCount + 1))
        return cfg.modification >= SimPreset::kV80;
    return true;
}

quint32 SimDevice::clock(qint64 nowMs) const
{
    return quint32(nowMs / 1000 + clockOffset);
}

void SimDevice::setClock(quint32 seconds, qint64 nowMs)
{
    clockOffset = qint64(seconds) - nowMs / 1000;
}

quint16 SimDevice::value(int reg, qint64 nowMs) const
{
    if (reg == DeviceClock)
        return quint16(clock(nowMs) & 0xFFFF);
    if (reg == DeviceClock + 1)
        return quint16(clock(nowMs) >> 16);
    return regs.at(reg);
}

void SimDevice::setValue(int reg, quint16 value, qint64 nowMs)
{
    if (reg == DeviceClock || reg == DeviceClock + 1) {
        setClock(replaceWord(clock(nowMs), reg - DeviceClock, value), nowMs);
        return;
    }
    if (within(reg, Monitoring, DeviceClock - 1))
        held.insert(reg);
    regs.set(reg, value);
}

void SimDevice::clearWriteQuirks()
{
    clamps.clear();
    failingWrites.clear();
}

SimDevice::Answer SimDevice::read(const SimFrame &request, qint64 nowMs) const
{
    if (!request.wellFormed || request.count < 1 || request.count > RtuFraming::kMaxReadRegisters)
        return refuse(SimFrame::IllegalDataValue);
    Answer a;
    for (int reg = request.firstRegister; reg < request.firstRegister + request.count; ++reg) {
        if (!exists(reg))
            return refuse(SimFrame::IllegalDataAddress);
        a.values.append(value(reg, nowMs));
    }
    return a;
}

SimDevice::Answer SimDevice::writeSingle(const SimFrame &request, bool wasArmed, qint64 nowMs)
{
    if (!request.wellFormed)
        return refuse(SimFrame::IllegalDataValue);
    if (request.firstRegister == int(AccessCode)) {
        armed = request.values.first() == accessCode; // judged silently: always the echo
        return Answer();
    }
    return write(request.firstRegister, request.values, wasArmed, nowMs);
}

SimDevice::Answer SimDevice::writeMultiple(const SimFrame &request, bool wasArmed, qint64 nowMs)
{
    if (!request.wellFormed || request.count < 1 || request.count > RtuFraming::kMaxWriteRegisters)
        return refuse(SimFrame::IllegalDataValue);
    return write(request.firstRegister, request.values, wasArmed, nowMs);
}

SimDevice::Answer SimDevice::write(int first, const QVector<quint16> &values, bool wasArmed, qint64 nowMs)
{
    if (const int code = refusal(first, values, wasArmed))
        return refuse(code);
    quint32 clockValue = clock(nowMs);
    bool clockWritten = false;
    for (int i = 0; i < values.size(); ++i) {
        const int reg = first + i;
        if (reg == DeviceClock || reg == DeviceClock + 1) {
            clockValue = replaceWord(clockValue, reg - DeviceClock, values[i]);
            clockWritten = true;
        } else {
            apply(reg, clamps.value(reg, values[i]), nowMs);
        }
    }
    if (clockWritten)
        setClock(clockValue, nowMs);
    publish(nowMs);
    return Answer();
}

// The whole request is refused, or none of it: addresses first, then the guard, then values.
int SimDevice::refusal(int first, const QVector<quint16> &values, bool wasArmed) const
{
    bool guarded = false;
    for (int i = 0; i < values.size(); ++i) {
        const Access a = access(first + i);
        if (a == Access::None)
            return SimFrame::IllegalDataAddress;
        guarded = guarded || a == Access::Guarded;
    }
    if (guarded && !wasArmed)
        return kGuardRefusal;
    for (int i = 0; i < values.size(); ++i)
        if (failingWrites.contains(first + i))
            return SimFrame::SlaveDeviceFailure;
    for (int i = 0; i < values.size(); ++i)
        if (!valueAllowed(first + i, values[i]))
            return SimFrame::IllegalDataValue;
    return 0;
}

SimDevice::Access SimDevice::access(int reg) const
{
    if (!exists(reg))
        return Access::None;
    if (reg == int(EngineCommandRegister) || reg == int(AccessCode) || reg == int(Outputs))
        return Access::Open;
    const bool guarded = within(reg, Configuration, ConfigurationV50) || within(reg, DeviceClock, DeviceClock + 1)
        || reg == int(CrashLog) || reg == int(WorkLog) || reg == int(WorkTime)
        || within(reg, StartCount, StartCount + 1) || within(reg, ConfigurationV70, ConfigurationV70 + 1)
        || reg == int(AutoSetupState);
    return guarded ? Access::Guarded : Access::None;
}

bool SimDevice::valueAllowed(int reg, quint16 value)
{
    if (reg == int(EngineCommandRegister))
        return value <= quint16(EngineCommand::Backward);
    if (reg == int(AutoSetupState))
        return value == kAutoSetupStart;
    if (reg == int(CrashLog) || reg == int(WorkLog) || reg == int(WorkTime)
        || within(reg, StartCount, StartCount + 1))
        return value == 0; // these registers are written only to clear them
    return true;
}

void SimDevice::apply(int reg, quint16 value, qint64 nowMs)
{
    switch (reg) {
    case EngineCommandRegister:
        value == 0 ? stopMotor(nowMs) : startMotor(value, nowMs);
        break;
    case Outputs:
        auxOutput = value & kAuxOutput;
        break;
    case CrashLog:
        SimLogBook::clearCrash(regs);
        break;
    case WorkLog:
        SimLogBook::clearWork(regs);
        break;
    case AutoSetupState:
        autoSetup.start(regs);
        break;
    case WorkTime:
        hourRemainderMs = 0; // a new hour starts with the reset
        regs.set(reg, value);
        break;
    case AccessCode:
        break;
    default:
        regs.set(reg, value); // settings, and the start counter written to 0
    }
}

SimMotor::Protection SimDevice::protection() const
{
    SimMotor::Protection p;
    p.ratedAmps = qMax(0.1, double(regs.at(Configuration)) / qMax<quint16>(cfg.currentScale, 1));
    p.overloadMultiple = qMax<quint16>(regs.at(kOverloadMultiple), 1);
    p.doubleOverloadSeconds = regs.at(kDoubleOverloadTime);
    p.reactionMs = regs.at(kReactionTime);
    return p;
}

quint16 SimDevice::counts(double amps) const
{
    return quint16(qBound(0.0, std::round(amps * cfg.currentScale), 65535.0));
}

void SimDevice::advance(qint64 nowMs)
{
    const SimMotor::Trip trip = motor.advance(nowMs, protection());
    if (trip.code != 0)
        recordTrip(trip, true);
    const qint64 ran = motor.takeRunningMs();
    countHours(ran);
    if (autoSetup.advance(ran, regs))
        finishAutoSetup(nowMs);
    publish(nowMs);
}

// Starts over the link need remote control enabled; a running motor ignores them.
void SimDevice::startMotor(int rotation, qint64 nowMs)
{
    if (regs.at(kRemoteControl) == 0 || motor.running())
        return;
    activeFault = 0;
    motor.start(rotation, nowMs);
    regs.set32(StartCount, regs.at32(StartCount) + 1);
    const double peak = SimMotor::kInrushMultiple * protection().ratedAmps;
    SimLogBook::addWork(regs, SimLogBook::kStart, clock(nowMs), counts(peak));
}

// A stop is always obeyed, and acknowledges a trip.
void SimDevice::stopMotor(qint64 nowMs)
{
    activeFault = 0;
    if (!motor.running())
        return;
    motor.stop();
    SimLogBook::addWork(regs, SimLogBook::kStop, clock(nowMs), 0);
}

void SimDevice::injectTrip(int faultCode, qint64 nowMs)
{
    advance(nowMs);
    SimMotor::Trip trip;
    trip.code = faultCode;
    trip.atMs = nowMs;
    trip.reading = motor.reading(nowMs, protection());
    const bool wasRunning = motor.running();
    motor.stop();
    recordTrip(trip, wasRunning);
    publish(nowMs);
}

void SimDevice::recordTrip(const SimMotor::Trip &trip, bool wasRunning)
{
    activeFault = quint16(trip.code);
    SimLogBook::Crash crash;
    SimOscillogram::Trip oscillogram;
    crash.code = oscillogram.code = quint16(trip.code);
    crash.time = oscillogram.time = clock(trip.atMs);
    for (int phase = 0; phase < 3; ++phase) {
        crash.currents[phase] = counts(trip.reading.amps[phase]);
        crash.voltages[phase] = quint16(std::lround(trip.reading.volts[phase]));
        oscillogram.amps[phase] = trip.reading.amps[phase];
        oscillogram.volts[phase] = trip.reading.volts[phase];
    }
    SimLogBook::addCrash(regs, crash);
    SimOscillogram::store(regs, oscillogram);
    if (wasRunning)
        SimLogBook::addWork(regs, SimLogBook::kStop, crash.time, 0);
}

void SimDevice::setLoad(double percent, qint64 nowMs)
{
    advance(nowMs); // the time so far ran at the old load
    motor.setLoadPercent(percent);
    publish(nowMs);
}

void SimDevice::countHours(qint64 ranMs)
{
    hourRemainderMs += ranMs;
    for (; hourRemainderMs >= kHourMs; hourRemainderMs -= kHourMs)
        regs.set(WorkTime, quint16(regs.at(WorkTime) + 1));
}

// The setup measured the motor: its running current becomes the rated current and the
// base of a fresh start record.
void SimDevice::finishAutoSetup(qint64 nowMs)
{
    const SimMotor::Protection before = protection();
    const int measured = counts(motor.load() / 100.0 * before.ratedAmps);
    const quint16 base = quint16(qBound<int>(regs.at(Identification + 1), measured, regs.at(Identification + 2)));
    regs.set(Configuration, base);
    const double baseAmps = qMax(0.1, double(base) / qMax<quint16>(cfg.currentScale, 1));
    SimStartCurve::Start start;
    start.time = clock(nowMs);
    start.baseCounts = base;
    start.peakMultiple = SimMotor::kInrushMultiple * before.ratedAmps / baseAmps;
    start.loadMultiple = motor.load() / 100.0 * before.ratedAmps / baseAmps;
    start.decaySeconds = SimMotor::kInrushDecaySeconds;
    SimStartCurve::store(regs, start);
}

void SimDevice::publish(qint64 nowMs)
{
    const SimMotor::Reading r = motor.reading(nowMs, protection());
    publishOne(kHeating, quint16(std::lround(r.heating)));
    publishOne(kFaultCode, activeFault);
    publishOne(Outputs, outputsWord());
    publishOne(kMotorState, quint16(motor.rotation()));
    publishOne(kPtcState, r.heating >= kPtcOverheatPercent ? kPtcOverheat : kSensorNormal);
    publishOne(kPt100, quint16(qint16(std::lround(r.temperature))));
    for (int phase = 0; phase < 3; ++phase) {
        publishOne(kCurrents + phase, counts(r.amps[phase]));
        publishOne(kVoltages + phase, quint16(std::lround(r.volts[phase])));
    }
}

void SimDevice::publishOne(int reg, quint16 value)
{
    if (!held.contains(reg))
        regs.set(reg, value);
}

quint16 SimDevice::outputsWord() const
{
    const bool alarm = regs.at(kAuxFunction) == kAuxAlarm && activeFault != 0;
    quint16 word = motor.running() ? kPowerOutput : 0;
    word |= (auxOutput || alarm) ? kAuxOutput : 0;
    word |= regs.at(kRemoteControl) != 0 ? kStopPermitted : 0;
    return word;
}
