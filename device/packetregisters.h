#pragma once

#include <QtGlobal>

#include <functional>

class DataPacket;

// Register-number access to any block through its request list, so that a test
// double or a simulated device can fill a block exactly as a read would, and a
// caller can look at one register without knowing the block's layout.
class PacketRegisters
{
public:
    // False when no entry of the packet covers the register.
    static bool read(const DataPacket &packet, quint32 reg, quint16 &value);
    static bool write(DataPacket &packet, quint32 reg, quint16 value);
    // Sets every register the packet's entries cover to valueOf(register).
    static void fill(DataPacket &packet, const std::function<quint16(quint32)> &valueOf);
    // Number of registers all entries cover together.
    static int registerCount(const DataPacket &packet);

private:
    static quint16 *find(const DataPacket &packet, quint32 reg);
};
