#include "exchange/crasheventoscillogramget.h"

#include "device/crashoscillogrampacket.h"

CrashEventOscillogramGet::CrashEventOscillogramGet(const CrashOscillogramPacket &source)
    : DataEvent(OscillogramGet)
    , block(source.clone())
{
}

CrashEventOscillogramGet::~CrashEventOscillogramGet() = default;
