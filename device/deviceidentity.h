#pragma once

#include "device/deviceinfo.h"

class SearchPacket;

// What the identification registers of a device tell: whether an ОРБИКС-11 answered,
// and which one (modification, current scale, rated range). The search, the data
// exchange, the line poller and the command line judge an answer here and nowhere else.
class DeviceIdentity
{
public:
    // The record for an identification answer: recognised (kind 0) or unknown (kind 1).
    // The line settings (address, speed, format, port) are the caller's to fill in.
    static DeviceInfo recognise(const SearchPacket &answer);
    // The one comparison of an identification with the device a search found.
    static bool sameDevice(const SearchPacket &answer, const DeviceInfo &expected);
    // Read with the same blocks: the modification sets their layout, the scale their currents.
    static bool sameModel(const DeviceInfo &a, const DeviceInfo &b);
};
