#pragma once

#include <QtGlobal>

#include <deque>

// Largest (or smallest) value of a window that grows at the back and shrinks at
// the front, in amortised constant time: the plot axes need the extreme of up to a
// day of samples every second without scanning them.
class SlidingExtremum
{
public:
    enum Kind { Largest, Smallest };

    explicit SlidingExtremum(Kind kind = Largest) : kind(kind) {}

    // seq numbers must grow by one per push.
    void push(quint64 seq, double value);
    // Forgets the sample seq once it left the window (oldest first).
    void drop(quint64 seq);
    void clear() { entries.clear(); }

    bool isEmpty() const { return entries.empty(); }
    // Undefined when empty.
    double value() const { return entries.front().value; }

private:
    struct Entry
    {
        quint64 seq;
        double value;
    };

    bool outranks(double candidate, double held) const;

    Kind kind;
    std::deque<Entry> entries; // values strictly ranked from front to back
};
