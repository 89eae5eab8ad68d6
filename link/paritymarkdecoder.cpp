#include "link/paritymarkdecoder.h"

std::size_t ParityMarkDecoder::decode(const quint8 *in, std::size_t n, quint8 *out)
{
    std::size_t written = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const quint8 b = in[i];
        switch (state) {
        case State::Data:
            if (b == 0xFF)
                state = State::SawFF;
            else
                out[written++] = b;
            break;
        case State::SawFF:
            if (b == 0xFF) {
                out[written++] = 0xFF;
                state = State::Data;
            } else if (b == 0x00) {
                state = State::SawFF00;
            } else {
                // Not an escape the kernel produces; keep both bytes rather than lose one.
                out[written++] = 0xFF;
                out[written++] = b;
                state = State::Data;
            }
            break;
        case State::SawFF00:
            if (b == 0x00) {
                ++breaks;
            } else {
                ++characterErrors;
                out[written++] = b; // the damaged byte still occupies its place in the frame
            }
            state = State::Data;
            break;
        }
    }
    return written;
}

int ParityMarkDecoder::takeCharacterErrors()
{
    const int n = characterErrors;
    characterErrors = 0;
    return n;
}

int ParityMarkDecoder::takeBreaks()
{
    const int n = breaks;
    breaks = 0;
    return n;
}

void ParityMarkDecoder::reset()
{
    state = State::Data;
    characterErrors = 0;
    breaks = 0;
}
