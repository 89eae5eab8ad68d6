#pragma once

#include <QtGlobal>
#include <atomic>

class DataPacket;
class ModbusPort;

// Runs a packet's request list on a port: the single executor of both worker threads.
// With a running flag, a cleared flag ends a list early (the data exchange);
// without one, lists always run to their end or first failure (the search probe).
class PacketExecutor
{
public:
    explicit PacketExecutor(ModbusPort &port, const std::atomic<bool> *running = nullptr);

    // Fills the packet in place, entry by entry; stops at the first failing entry.
    bool readPacket(DataPacket &packet);
    // Sends the packet entry by entry; with useAccessCode, register 32 gets
    // accessCode before every entry (that write's result is not examined).
    bool writePacket(const DataPacket &packet, bool useAccessCode, quint16 accessCode = 0);

private:
    bool isRunning() const;

    ModbusPort &port;
    const std::atomic<bool> *running;
};
