#include "app/demoline.h"

#include "sim/simdeviceconfig.h"
#include "sim/simtcpserver.h"
#include "storage/portmap.h"

#include <QSet>

#ifdef Q_OS_WIN
namespace {
// Where the Windows demo line listens: this machine only, on a port the system picks.
const char kLoopback[] = "127.0.0.1";
} // namespace
#endif

DemoLine::DemoLine() = default;
DemoLine::~DemoLine() = default;

bool DemoLine::start()
{
    addDevices();
    if (!startLine())
        return false;
    bindPort();
    return true;
}

void DemoLine::addDevices()
{
    // Three generations of the device, one of them on odd parity, as on a real line.
    // Behind the TCP server the line's settings are the server's own: the odd one hears
    // them there, as behind a converter that ignores parity.
    simulator.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    simulator.addDevice(SimDeviceConfig {2, 80, 0, 19200, 1, 50});
    SimDeviceConfig odd {5, 40, 1, 19200, 10, 84};
#ifdef Q_OS_WIN
    odd.anyFormat = true;
#endif
    simulator.addDevice(odd);
}

bool DemoLine::startLine()
{
#ifdef Q_OS_WIN
    server = std::make_unique<SimTcpServer>(simulator, SimTcpServer::Framing::Rtu);
    if (!server->listen(QLatin1String(kLoopback), 0)) {
        error = server->errorString();
        return false;
    }
    return true;
#else
    if (!simulator.start()) {
        error = simulator.errorString();
        return false;
    }
    return true;
#endif
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
#ifdef Q_OS_WIN
    PortMap::bindForSession(number, QStringLiteral("tcp://%1:%2").arg(QLatin1String(kLoopback)).arg(server->port()));
#else
    PortMap::bindForSession(number, simulator.linkPath());
#endif
}
