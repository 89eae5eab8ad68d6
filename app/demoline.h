#pragma once

#include "sim/simulator.h"

#include <QString>

#include <memory>

class SimTcpServer;

// "--demo": three simulated devices on a pseudo-terminal, bound to a free COM
// number of this process, so that the program can be shown without hardware. Windows
// has no pseudo-terminal: there the devices answer Modbus RTU over TCP on a loopback
// port of this process (as behind a serial device server), and the COM number is
// bound to that.
class DemoLine
{
public:
    static constexpr int kFirstPortNumber = 99;
    // The simulator answers within a few milliseconds at 19200 bit/s: a short wait
    // per probe keeps a full scan of the demo line under a minute.
    static constexpr int kProbeTimeoutMs = 40;

    DemoLine();
    ~DemoLine(); // the server, then the devices it serves

    // Starts the line and binds its number for this process; false + errorString() on failure.
    bool start();
    int portNumber() const { return number; }
    QString errorString() const { return error; }
    Simulator &line() { return simulator; }

private:
    void addDevices();
    bool startLine();
    static int freePortNumber();
    void bindPort();

    Simulator simulator;
    std::unique_ptr<SimTcpServer> server; // Windows: the line, over TCP
    int number = 0;
    QString error;
};
