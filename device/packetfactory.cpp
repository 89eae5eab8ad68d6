#include "device/packetfactory.h"

#include "device/configpacketv70.h"
#include "device/protocolpacketv50.h"
#include "device/watchdatapacket80.h"

std::unique_ptr<WatchDataPacket> PacketFactory::monitoring(int modification)
{
    if (modification >= kModificationV80)
        return std::make_unique<WatchDataPacket80>();
    return std::make_unique<WatchDataPacket>();
}

std::unique_ptr<ProtocolPacket> PacketFactory::workProtocol(int modification)
{
    if (modification >= kModificationV50)
        return std::make_unique<ProtocolPacketV50>();
    return std::make_unique<ProtocolPacket>();
}

std::unique_ptr<ConfigPacket> PacketFactory::configuration(int modification)
{
    if (modification >= kModificationV70)
        return std::make_unique<ConfigPacketV70>();
    if (modification >= kModificationV50)
        return std::make_unique<ConfigPacketV50>();
    return std::make_unique<ConfigPacket>();
}
