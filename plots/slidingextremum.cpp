#include "plots/slidingextremum.h"

void SlidingExtremum::push(quint64 seq, double value)
{
    // A held value that the new one equals or beats can never be the extreme again.
    while (!entries.empty() && !outranks(entries.back().value, value))
        entries.pop_back();
    entries.push_back({seq, value});
}

void SlidingExtremum::drop(quint64 seq)
{
    if (!entries.empty() && entries.front().seq == seq)
        entries.pop_front();
}

bool SlidingExtremum::outranks(double candidate, double held) const
{
    return kind == Largest ? candidate > held : candidate < held;
}
