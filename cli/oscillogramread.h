#pragma once

class CrashOscillogramPacket;
class DeviceSession;

// Reads the crash oscillogram as the data exchange does: the fault code first, the
// whole block only when the code says there is one.
class OscillogramRead
{
public:
    // False when a read fails; otherwise present says whether the device holds an
    // oscillogram (then block holds it).
    static bool read(DeviceSession &session, CrashOscillogramPacket &block, bool &present);
};
