#pragma once

#include "link/datapacket.h"

#include <type_traits>

// A packet of exactly one value: one register (unsigned short) or a 32-bit pair
// (unsigned int, low 16 bits in the lower-numbered register).
template <typename T>
class TDataPacket : public DataPacket
{
    static_assert(std::is_same<T, unsigned short>::value || std::is_same<T, unsigned int>::value,
                  "one or two registers");

public:
    explicit TDataPacket(quint32 reg)
        : registerNumber(reg)
    {
        addRequest(&value, sizeof(T), reg);
    }

    TDataPacket *clone() const override
    {
        auto *copy = new TDataPacket(registerNumber);
        copy->value = value;
        return copy;
    }

    quint32 registerNumber;
    T value = 0;
};
