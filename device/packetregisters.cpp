#include "device/packetregisters.h"

#include "link/datapacket.h"

namespace {

quint32 wordCount(const RegisterRequest &r)
{
    return r.byteCount / 2;
}

} // namespace

quint16 *PacketRegisters::find(const DataPacket &packet, quint32 reg)
{
    for (const RegisterRequest &r : packet.requests()) {
        if (reg >= r.firstRegister && reg < r.firstRegister + wordCount(r))
            return static_cast<quint16 *>(r.buffer) + (reg - r.firstRegister);
    }
    return nullptr;
}

bool PacketRegisters::read(const DataPacket &packet, quint32 reg, quint16 &value)
{
    const quint16 *word = find(packet, reg);
    if (!word)
        return false;
    value = *word;
    return true;
}

bool PacketRegisters::write(DataPacket &packet, quint32 reg, quint16 value)
{
    quint16 *word = find(packet, reg);
    if (!word)
        return false;
    *word = value;
    return true;
}

void PacketRegisters::fill(DataPacket &packet, const std::function<quint16(quint32)> &valueOf)
{
    for (const RegisterRequest &r : packet.requests()) {
        auto *words = static_cast<quint16 *>(r.buffer);
        for (quint32 i = 0; i < wordCount(r); ++i)
            words[i] = valueOf(r.firstRegister + i);
    }
}

int PacketRegisters::registerCount(const DataPacket &packet)
{
    int count = 0;
    for (const RegisterRequest &r : packet.requests())
        count += int(wordCount(r));
    return count;
}
