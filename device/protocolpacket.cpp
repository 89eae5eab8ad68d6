#include "device/protocolpacket.h"

#include <algorithm>
#include <iterator>

ProtocolPacket::ProtocolPacket()
{
    addRequest(words, sizeof words, RegisterMap::WorkLog);
}

ProtocolPacket::ProtocolPacket(const ProtocolPacket &other)
    : ProtocolPacket()
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

ProtocolPacket *ProtocolPacket::clone() const
{
    return new ProtocolPacket(*this);
}

std::unique_ptr<EventData> ProtocolPacket::event(int index) const
{
    if (!validIndex(index))
        return nullptr;
    return std::make_unique<EventData>(code(index), time(index));
}

quint16 ProtocolPacket::code(int index) const
{
    return validIndex(index) ? words[index * RegisterMap::kWorkRecordRegisters] : 0;
}

quint32 ProtocolPacket::time(int index) const
{
    if (!validIndex(index))
        return 0;
    const quint16 *t = words + index * RegisterMap::kWorkRecordRegisters + 1;
    return quint32(t[0]) | quint32(t[1]) << 16;
}

void ProtocolPacket::clearRecord(int index)
{
    if (validIndex(index))
        std::fill_n(words + index * RegisterMap::kWorkRecordRegisters, RegisterMap::kWorkRecordRegisters, quint16(0));
}
