#pragma once

#include <QtGlobal>

// The error flags of a local serial port, as takeLineErrors() reports them. The same
// for every platform's port, so that a damaged reply is a line error on all of them.
struct LineErrors
{
    enum Flag : quint32 {
        RxOverflow = 0x0001,   // input buffer overflow
        Overrun = 0x0002,      // hardware overrun
        ParityError = 0x0004,  // parity error (counted by the driver)
        FramingError = 0x0008, // framing error (counted by the driver)
        Break = 0x0010,        // break received
        MarkedCharacter = 0x0100 // byte marked bad in the stream: parity or framing, driver cannot tell
    };
};
