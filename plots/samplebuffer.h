#pragma once

#include "plots/slidingextremum.h"

#include <QtGlobal>

#include <cstddef>
#include <vector>

// Sample times with one value column per curve. Appends at the back and removes
// from the front without moving the held samples each time, and keeps the
// extremes of every column, so a day-long window costs the same per sample as a
// minute-long one.
class SampleBuffer
{
public:
    explicit SampleBuffer(int columns);

    // values holds one value per column.
    void append(double time, const double *values);
    void removeOldest();
    void clear();

    int size() const { return int(times.size() - first); }
    bool isEmpty() const { return size() == 0; }
    int columnCount() const { return int(columns.size()); }

    double time(int index) const { return times[first + index]; }
    double value(int column, int index) const { return columns[column][first + index]; }
    double oldestTime() const { return time(0); }
    double newestTime() const { return times.back(); }
    double newest(int column) const { return columns[column].back(); }
    // Extremes of the held values of a column; fallback when the buffer is empty.
    double largest(int column, double fallback = 0.0) const;
    double smallest(int column, double fallback = 0.0) const;

private:
    void compact();

    std::vector<double> times;
    std::vector<std::vector<double>> columns;
    std::vector<SlidingExtremum> maxima;
    std::vector<SlidingExtremum> minima;
    std::size_t first = 0;  // index of the oldest held sample
    quint64 removed = 0;    // sequence number of the oldest held sample
};
