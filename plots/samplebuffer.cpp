#include "plots/samplebuffer.h"

namespace {
// Removed samples are reclaimed in batches of at least this many, and only once they
// are half of the storage, so each sample is moved at most about once.
constexpr std::size_t kCompactMinimum = 4096;
}

SampleBuffer::SampleBuffer(int columnCount)
    : columns(std::size_t(columnCount)),
      maxima(std::size_t(columnCount), SlidingExtremum(SlidingExtremum::Largest)),
      minima(std::size_t(columnCount), SlidingExtremum(SlidingExtremum::Smallest))
{
}

void SampleBuffer::append(double time, const double *values)
{
    const quint64 seq = removed + quint64(size());
    times.push_back(time);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        columns[c].push_back(values[c]);
        maxima[c].push(seq, values[c]);
        minima[c].push(seq, values[c]);
    }
}

void SampleBuffer::removeOldest()
{
    if (isEmpty())
        return;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        maxima[c].drop(removed);
        minima[c].drop(removed);
    }
    ++first;
    ++removed;
    compact();
}

void SampleBuffer::clear()
{
    times.clear();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        columns[c].clear();
        maxima[c].clear();
        minima[c].clear();
    }
    first = 0;
}

double SampleBuffer::largest(int column, double fallback) const
{
    const SlidingExtremum &m = maxima[std::size_t(column)];
    return m.isEmpty() ? fallback : m.value();
}

double SampleBuffer::smallest(int column, double fallback) const
{
    const SlidingExtremum &m = minima[std::size_t(column)];
    return m.isEmpty() ? fallback : m.value();
}

void SampleBuffer::compact()
{
    if (first < kCompactMinimum || first * 2 < times.size())
        return;
    const auto gone = std::ptrdiff_t(first);
    times.erase(times.begin(), times.begin() + gone);
    for (std::vector<double> &column : columns)
        column.erase(column.begin(), column.begin() + gone);
    first = 0;
}
