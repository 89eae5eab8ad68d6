#include "link/packetexecutor.h"

#include "link/datapacket.h"
#include "link/modbusport.h"

PacketExecutor::PacketExecutor(ModbusPort &p, const std::atomic<bool> *flag)
    : port(p)
    , running(flag)
{
}

bool PacketExecutor::isRunning() const
{
    return !running || running->load(std::memory_order_acquire);
}

bool PacketExecutor::readPacket(DataPacket &packet)
{
    if (packet.requests().empty() || !isRunning())
        return true;
    bool ok = true;
    for (const RegisterRequest &r : packet.requests()) {
        ok = port.readRegisters(r.firstRegister, r.byteCount, r.buffer);
        if (!ok || !isRunning())
            break;
    }
    return ok;
}

bool PacketExecutor::writePacket(const DataPacket &packet, std::optional<Guard> guard)
{
    if (packet.requests().empty() || !isRunning())
        return true;
    if (guard)
        port.setMaskedRegister(guard->reg); // the guard's value is a code: never in clear in a trace
    bool ok = true;
    for (const RegisterRequest &r : packet.requests()) {
        if (guard)
            port.writeRegister(guard->reg, guard->value);
        ok = port.writeRegisters(r.firstRegister, r.byteCount, r.buffer);
        if (!ok || !isRunning())
            break;
    }
    return ok;
}
