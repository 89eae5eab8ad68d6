#pragma once

#include "device/watchdatapacket.h"

// The monitoring block of modification 80 and above: adds the 32-bit start
// counter at registers 171..172.
class WatchDataPacket80 : public WatchDataPacket
{
public:
    WatchDataPacket80();
    WatchDataPacket80(const WatchDataPacket80 &other);
    WatchDataPacket80 *clone() const override;

    quint32 startCount() const { return quint32(countWords[0]) | quint32(countWords[1]) << 16; }

private:
    quint16 countWords[2] = {};
};
