#include "simdevice.h"

#include "modbusport.h"
#include "registermap.h"
#include "simlogbook.h"
#include "simpreset.h"

using namespace RegisterMap;

namespace {

constexpr int kMotorState = 38;     // 0 at rest, 1 forward, 2 backward
constexpr int kRemoteControl = 29;  // setting: motor commands over the link allowed
constexpr int kAccumulation = 200;  // auto-setup data accumulation
constexpr quint16 kAutoSetupRunning = 1;
constexpr quint16 kCommandBackward = 2;

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
{
    SimPreset::fill(regs, cfg, quint32(nowMs / 1000));
}

SimDevice::Answer SimDevice::refuse(int code)
{
    Answer a;
    a.exception = code;
    return a;
}

SimDevice::Answer SimDevice::handle(const SimFrame &request, qint64 nowMs)
{
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
    if (reg == DeviceClock || reg == DeviceClock + 1)
        setClock(replaceWord(clock(nowMs), reg - DeviceClock, value), nowMs);
    else
        regs.set(reg, value);
}

SimDevice::Answer SimDevice::read(const SimFrame &request, qint64 nowMs) const
{
    if (!request.wellFormed || request.count < 1 || request.count > ModbusPort::kMaxReadRegisters)
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
    if (!request.wellFormed || request.count < 1 || request.count > ModbusPort::kMaxWriteRegisters)
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
            apply(reg, values[i]);
        }
    }
    if (clockWritten)
        setClock(clockValue, nowMs);
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
        if (!valueAllowed(first + i, values[i]))
            return SimFrame::IllegalDataValue;
    return 0;
}

SimDevice::Access SimDevice::access(int reg) const
{
    if (!exists(reg))
        return Access::None;
    if (reg == int(MotorCommand) || reg == int(AccessCode) || reg == int(Outputs))
        return Access::Open;
    const bool guarded = within(reg, Configuration, ConfigurationV50) || within(reg, DeviceClock, DeviceClock + 1)
        || reg == int(CrashLog) || reg == int(WorkLog) || reg == int(RunningHours)
        || within(reg, StartCount, StartCount + 1) || within(reg, ConfigurationV70, ConfigurationV70 + 1)
        || reg == int(AutoSetupState);
    return guarded ? Access::Guarded : Access::None;
}

bool SimDevice::valueAllowed(int reg, quint16 value)
{
    if (reg == int(MotorCommand))
        return value <= kCommandBackward;
    if (reg == int(AutoSetupState))
        return value == kAutoSetupRunning;
    if (reg == int(CrashLog) || reg == int(WorkLog) || reg == int(RunningHours)
        || within(reg, StartCount, StartCount + 1))
        return value == 0; // these registers are written only to clear them
    return true;
}

void SimDevice::apply(int reg, quint16 value)
{
    if (reg == int(MotorCommand))
        command(value);
    else if (reg == int(Outputs))
        regs.set(Outputs, quint16((regs.at(Outputs) & ~kAuxOutput) | (value & kAuxOutput)));
    else if (reg == int(CrashLog))
        SimLogBook::clearCrash(regs);
    else if (reg == int(WorkLog))
        SimLogBook::clearWork(regs);
    else if (reg == int(AutoSetupState))
        startAutoSetup();
    else if (reg != int(AccessCode))
        regs.set(reg, value); // settings, and the counters written to 0
}

void SimDevice::command(quint16 code)
{
    if (code != 0 && regs.at(kRemoteControl) == 0)
        return; // starts over the link need remote control enabled; a stop is always obeyed
    regs.set(kMotorState, code);
    const quint16 outputs = regs.at(Outputs);
    regs.set(Outputs, quint16(code != 0 ? outputs | kPowerOutput : outputs & ~kPowerOutput));
}

void SimDevice::startAutoSetup()
{
    regs.set(AutoSetupState, kAutoSetupRunning);
    regs.set(kAccumulation, 0);
}
