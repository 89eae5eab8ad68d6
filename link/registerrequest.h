#pragma once

#include <QtGlobal>

// One entry of a packet's request list: byteCount bytes of register values,
// starting at register firstRegister (counted from 1), living at buffer.
struct RegisterRequest
{
    void *buffer;
    quint32 byteCount;     // twice the number of registers
    quint32 firstRegister; // only the low 16 bits reach the wire
};
