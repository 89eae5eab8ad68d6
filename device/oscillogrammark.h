#pragma once

#include "device/registermap.h"
#include "link/datapacket.h"

#include <QtGlobal>

#include <algorithm>

// What tells one stored oscillogram from the next: its trip time and fault code, the
// first three registers of its block. Read on every poll instead of the whole block;
// a second trip of the same kind changes the time.
class OscillogramMark : public DataPacket
{
public:
    OscillogramMark() { addRequest(words, sizeof words, RegisterMap::OscillogramHeader); }

    OscillogramMark *clone() const override
    {
        auto *copy = new OscillogramMark;
        std::copy(std::begin(words), std::end(words), std::begin(copy->words));
        return copy;
    }

    quint32 tripTime() const { return words[0] | quint32(words[1]) << 16; } // low word first
    quint16 faultCode() const { return words[2]; }                          // 0: none stored

    // Another oscillogram than the one of this code and time, or none any more.
    bool differsFrom(quint16 code, quint32 time) const
    {
        return faultCode() != code || (faultCode() != 0 && tripTime() != time);
    }

private:
    quint16 words[3] = {};
};
