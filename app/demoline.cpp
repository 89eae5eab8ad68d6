#include "app/demoline.h"

#include "sim/simdeviceconfig.h"
#include "storage/portmap.h"

#include <QSet>

bool DemoLine::start()
{
    addDevices();
    if (!simulator.start()) {
        error = simulator.errorString();
        return false;
    }
    bindPort();
    return true;
}

void DemoLine::addDevices()
{
    // Three generations of the device, one of them on odd parity, as on a real line.
    simulator.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    simulator.addDevice(SimDeviceConfig {2, 80, 0, 19200, 1, 50});
    simulator.addDevice(SimDeviceConfig {5, 40, 1, 19200, 10, 84});
}

int DemoLine::freePortNumber()
{
    QSet<int> used;
    for (const PortMap::Port &port : PortMap::system().ports())
        used.insert(port.number);
    int n = kFirstPortNumber;
    while (used.contains(n))
        ++n;
    return n;
}

void DemoLine::bindPort()
{
    number = freePortNumber();
    PortMap::bindForSession(number, simulator.linkPath());
}
