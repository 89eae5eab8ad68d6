#include "sim/simregisters.h"

quint16 SimRegisters::at(int reg) const
{
    return inRange(reg) ? words[std::size_t(reg)] : 0;
}

void SimRegisters::set(int reg, quint16 value)
{
    if (inRange(reg))
        words[std::size_t(reg)] = value;
}

quint32 SimRegisters::at32(int reg) const
{
    return quint32(at(reg)) | (quint32(at(reg + 1)) << 16);
}

void SimRegisters::set32(int reg, quint32 value)
{
    set(reg, quint16(value & 0xFFFF));
    set(reg + 1, quint16(value >> 16));
}

void SimRegisters::fill(int first, int last, quint16 value)
{
    for (int reg = first; reg <= last; ++reg)
        set(reg, value);
}

void SimRegisters::shiftUp(int first, int last, int shift)
{
    for (int reg = last; reg >= first + shift; --reg)
        set(reg, at(reg - shift));
}
