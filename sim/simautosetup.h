#pragma once

#include "sim/simregisters.h"

#include <QtGlobal>

// The device's auto-setup: started by a guarded write of 1 to register 199, it gathers
// data while the motor runs (register 200 from 0 to 65535) and then reports state 2.
class SimAutoSetup
{
public:
    static constexpr int kState = 199;
    static constexpr int kAccumulation = 200;
    static constexpr quint16 kRunning = 1;
    static constexpr quint16 kDone = 2;
    static constexpr quint16 kFull = 65535;
    static constexpr qint64 kRunningTimeMs = 10000; // motor running time the data takes

    void start(SimRegisters &regs);
    bool isRunning() const { return running; }
    // Adds motor running time; true on the call that completes the setup.
    bool advance(qint64 runningMs, SimRegisters &regs);

private:
    bool running = false;
    qint64 gatheredMs = 0;
};
