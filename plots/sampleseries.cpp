#include "plots/sampleseries.h"

#include "plots/samplebuffer.h"

size_t SampleSeries::size() const
{
    return size_t(buffer->size());
}

QPointF SampleSeries::sample(size_t index) const
{
    return QPointF(buffer->time(int(index)), buffer->value(column, int(index)));
}

QRectF SampleSeries::boundingRect() const
{
    if (buffer->isEmpty())
        return QRectF(1.0, 1.0, -2.0, -2.0); // Qwt's invalid rectangle
    const double bottom = buffer->smallest(column);
    return QRectF(buffer->oldestTime(), bottom, buffer->newestTime() - buffer->oldestTime(),
                  buffer->largest(column) - bottom);
}
