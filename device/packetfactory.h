#pragma once

#include "device/configpacket.h"
#include "device/protocolpacket.h"
#include "device/watchdatapacket.h"

#include <memory>

// The block classes a device gets, chosen by its modification number.
class PacketFactory
{
public:
    // Modification thresholds of the larger blocks.
    static constexpr int kModificationV50 = 50; // start peaks in the work log, imbalance trip time
    static constexpr int kModificationV70 = 70; // minimum current correction, insulation threshold
    static constexpr int kModificationV80 = 80; // start counter in the monitoring block

    static std::unique_ptr<WatchDataPacket> monitoring(int modification);
    static std::unique_ptr<ProtocolPacket> workProtocol(int modification);
    static std::unique_ptr<ConfigPacket> configuration(int modification);
};
