#include "crasheventoscillogramget.h"

#include "crashoscillogrampacket.h"

CrashEventOscillogramGet::CrashEventOscillogramGet(const CrashOscillogramPacket &source)
    : DataEvent(OscillogramGet)
    , block(source.clone())
{
}

CrashEventOscillogramGet::~CrashEventOscillogramGet() = default;
