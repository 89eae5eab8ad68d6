#include "device/watchdatapacket80.h"

#include "device/registermap.h"

#include <algorithm>

WatchDataPacket80::WatchDataPacket80()
{
    addRequest(countWords, sizeof countWords, RegisterMap::StartCount);
}

WatchDataPacket80::WatchDataPacket80(const WatchDataPacket80 &other)
    : WatchDataPacket(other)
{
    addRequest(countWords, sizeof countWords, RegisterMap::StartCount);
    std::copy(std::begin(other.countWords), std::end(other.countWords), countWords);
}

WatchDataPacket80 *WatchDataPacket80::clone() const
{
    return new WatchDataPacket80(*this);
}
