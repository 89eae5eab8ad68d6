#pragma once

#include <QtGlobal>
#include <array>

// The register store of one device, indexed by register number (from 1).
// A 32-bit value spans two registers, the lower-numbered one holding the low word.
// Numbers outside the store read as 0 and are not written.
class SimRegisters
{
public:
    static constexpr int kLast = 700; // the device's map ends at 689; the store rounds it up

    static bool inRange(int reg) { return reg >= 1 && reg <= kLast; }

    quint16 at(int reg) const;
    void set(int reg, quint16 value);
    quint32 at32(int reg) const;
    void set32(int reg, quint32 value);
    void fill(int first, int last, quint16 value);
    // Moves the words of [first, last] up by shift places; the words moved past last are lost.
    void shiftUp(int first, int last, int shift);

private:
    std::array<quint16, kLast + 1> words {};
};
