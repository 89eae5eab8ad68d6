#pragma once

#include "device/packetregisters.h"
#include "link/datapacket.h"

#include <QString>
#include <QStringList>

#include <cstddef>

// "33:34 170:2": first register and byte count of each entry, in list order.
inline QString describeRequests(const DataPacket &packet)
{
    QStringList parts;
    for (const RegisterRequest &r : packet.requests())
        parts << QString::number(r.firstRegister) + QLatin1Char(':') + QString::number(r.byteCount);
    return parts.join(QLatin1Char(' '));
}

// True when every entry's bytes lie inside [object, object + size).
inline bool entriesInside(const DataPacket &packet, const void *object, std::size_t size)
{
    const auto *begin = static_cast<const char *>(object);
    for (const RegisterRequest &r : packet.requests()) {
        const auto *buffer = static_cast<const char *>(r.buffer);
        if (buffer < begin || buffer + r.byteCount > begin + size)
            return false;
    }
    return true;
}

// Sets registers as a read from the device would; fails the test on a register the block lacks.
inline bool setRegisters(DataPacket &packet, std::initializer_list<std::pair<quint32, quint16>> values)
{
    for (const auto &v : values) {
        if (!PacketRegisters::write(packet, v.first, v.second))
            return false;
    }
    return true;
}
