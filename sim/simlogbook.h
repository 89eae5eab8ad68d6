#pragma once

#include "sim/simregisters.h"

// The device's two logs, ten records each, record 0 the newest: the crash log
// (50..139, nine registers a record) and the work log (140..169, three registers
// a record, with the start peak of record i at 180 + i).
class SimLogBook
{
public:
    // Work log record codes.
    static constexpr quint16 kStop = 1;
    static constexpr quint16 kStart = 2;

    struct Crash {
        quint16 code = 0;
        quint32 time = 0;
        quint16 currents[3] = {0, 0, 0}; // counts (amperes x current scale)
        quint16 voltages[3] = {0, 0, 0}; // volts
    };

    static void addCrash(SimRegisters &regs, const Crash &crash);
    // startPeak: raw peak current of a start (counts); 0 for a stop.
    static void addWork(SimRegisters &regs, quint16 code, quint32 time, quint16 startPeak);
    static void clearCrash(SimRegisters &regs);
    static void clearWork(SimRegisters &regs);
};
