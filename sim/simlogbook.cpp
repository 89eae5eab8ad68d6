#include "sim/simlogbook.h"

#include "device/registermap.h"

using namespace RegisterMap;

namespace {

constexpr int kCrashLast = CrashLog + kLogRecords * kCrashRecordRegisters - 1;
constexpr int kWorkLast = WorkLog + kLogRecords * kWorkRecordRegisters - 1;
constexpr int kPeaksLast = StartPeaks + kLogRecords - 1;

} // namespace

void SimLogBook::addCrash(SimRegisters &regs, const Crash &crash)
{
    regs.shiftUp(CrashLog, kCrashLast, kCrashRecordRegisters);
    regs.set(CrashLog, crash.code);
    regs.set32(CrashLog + 1, crash.time);
    for (int phase = 0; phase < 3; ++phase) {
        regs.set(CrashLog + 3 + phase, crash.currents[phase]);
        regs.set(CrashLog + 6 + phase, crash.voltages[phase]);
    }
}

void SimLogBook::addWork(SimRegisters &regs, quint16 code, quint32 time, quint16 startPeak)
{
    regs.shiftUp(WorkLog, kWorkLast, kWorkRecordRegisters);
    regs.set(WorkLog, code);
    regs.set32(WorkLog + 1, time);
    regs.shiftUp(StartPeaks, kPeaksLast, 1);
    regs.set(StartPeaks, startPeak);
}

void SimLogBook::clearCrash(SimRegisters &regs)
{
    regs.fill(CrashLog, kCrashLast, 0);
}

void SimLogBook::clearWork(SimRegisters &regs)
{
    regs.fill(WorkLog, kWorkLast, 0);
    regs.fill(StartPeaks, kPeaksLast, 0);
}
