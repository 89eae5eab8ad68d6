#pragma once

#include <QtGlobal>
#include <atomic>
#include <optional>

class DataPacket;
class ModbusPort;

// Runs a packet's request list on a port: the single executor of both worker threads.
// With a running flag, a cleared flag ends a list early (the data exchange);
// without one, lists always run to their end or first failure (the search probe).
class PacketExecutor
{
public:
    // A single register written before every entry of a guarded list (function 6);
    // the slave judges whether the entry that follows is accepted.
    struct Guard {
        quint32 reg;
        quint16 value;
    };

    explicit PacketExecutor(ModbusPort &port, const std::atomic<bool> *running = nullptr);

    // Fills the packet in place, entry by entry; stops at the first failing entry.
    bool readPacket(DataPacket &packet);
    // Sends the packet entry by entry; with a guard, the guard register is written
    // before every entry (that write's result is not examined), and the port's traces
    // mask the guard register from then on.
    bool writePacket(const DataPacket &packet, std::optional<Guard> guard = std::nullopt);

private:
    bool isRunning() const;

    ModbusPort &port;
    const std::atomic<bool> *running;
};
