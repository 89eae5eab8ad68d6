#pragma once

#include <QtGlobal>
#include <cstddef>

// Undoes the kernel's PARMRK escaping of the input stream.
// With INPCK and PARMRK set (and IGNPAR, ISTRIP clear) the tty layer delivers
//   0xFF 0xFF     for a genuine 0xFF byte,
//   0xFF 0x00 c   for a byte c received with a parity or framing error,
//   0xFF 0x00 0x00 for a break.
// The decoder is stateful so that an escape split across two reads is still
// understood; it counts the marked errors until they are taken.
class ParityMarkDecoder
{
public:
    // Decodes n raw bytes from in into out, which must not alias in and must hold
    // n + 1 bytes (a 0xFF held over from the previous call may be emitted).
    // Returns the number of data bytes written to out.
    std::size_t decode(const quint8 *in, std::size_t n, quint8 *out);

    // Marked character errors and breaks since the last call; resets both.
    int takeCharacterErrors();
    int takeBreaks();

    // Forget a half-seen escape (the line was reopened).
    void reset();

private:
    enum class State { Data, SawFF, SawFF00 };
    State state = State::Data;
    int characterErrors = 0;
    int breaks = 0;
};
