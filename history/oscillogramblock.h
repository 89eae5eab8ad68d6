#pragma once

#include <QByteArray>

class CrashOscillogramPacket;

// A crash oscillogram as the history stores it: the packet's registers, little-endian
// words in request order, and back. Writers and readers (the command line, the window)
// share it, so that a block reads back the way it was written.
class OscillogramBlock
{
public:
    static QByteArray encode(const CrashOscillogramPacket &packet);
    // False, leaving the packet as it was, when the block is not one packet's size.
    static bool decode(const QByteArray &bytes, CrashOscillogramPacket &packet);
};
