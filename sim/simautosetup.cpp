#include "sim/simautosetup.h"

void SimAutoSetup::start(SimRegisters &regs)
{
    running = true;
    gatheredMs = 0;
    regs.set(kState, kRunning);
    regs.set(kAccumulation, 0);
}

bool SimAutoSetup::advance(qint64 runningMs, SimRegisters &regs)
{
    if (!running || runningMs <= 0)
        return false;
    gatheredMs = qMin(kRunningTimeMs, gatheredMs + runningMs);
    regs.set(kAccumulation, quint16(kFull * gatheredMs / kRunningTimeMs));
    if (gatheredMs < kRunningTimeMs)
        return false;
    running = false;
    regs.set(kState, kDone);
    return true;
}
