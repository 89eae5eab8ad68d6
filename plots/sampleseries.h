#pragma once

#include <qwt_series_data.h>

class SampleBuffer;

// One column of a SampleBuffer as curve data: Qwt reads the samples in place, so
// nothing is copied when a sample is added or the window trimmed.
class SampleSeries : public QwtSeriesData<QPointF>
{
public:
    SampleSeries(const SampleBuffer *buffer, int column) : buffer(buffer), column(column) {}

    size_t size() const override;
    QPointF sample(size_t index) const override;
    QRectF boundingRect() const override;

private:
    const SampleBuffer *buffer;
    int column;
};
