#include "history/oscillogramblock.h"

#include "device/crashoscillogrampacket.h"

#include <cstring>

QByteArray OscillogramBlock::encode(const CrashOscillogramPacket &packet)
{
    QByteArray out;
    for (const RegisterRequest &r : packet.requests())
        out.append(static_cast<const char *>(r.buffer), int(r.byteCount));
    return out;
}

bool OscillogramBlock::decode(const QByteArray &bytes, CrashOscillogramPacket &packet)
{
    int size = 0;
    for (const RegisterRequest &r : packet.requests())
        size += int(r.byteCount);
    if (bytes.size() != size)
        return false;
    int at = 0;
    for (const RegisterRequest &r : packet.requests()) {
        std::memcpy(r.buffer, bytes.constData() + at, r.byteCount);
        at += int(r.byteCount);
    }
    return true;
}
