#pragma once

#include "sim/simulator.h"

#include <QString>

// "--demo": three simulated devices on a pseudo-terminal, bound to a free COM
// number of this process, so that the program can be shown without hardware.
class DemoLine
{
public:
    static constexpr int kFirstPortNumber = 99;
    // The simulator answers within a few milliseconds at 19200 bit/s: a short wait
    // per probe keeps a full scan of the demo line under a minute.
    static constexpr int kProbeTimeoutMs = 40;

    // Starts the line and binds its number for this process; false + errorString() on failure.
    bool start();
    int portNumber() const { return number; }
    QString errorString() const { return error; }
    Simulator &line() { return simulator; }

private:
    void addDevices();
    static int freePortNumber();
    void bindPort();

    Simulator simulator;
    int number = 0;
    QString error;
};
