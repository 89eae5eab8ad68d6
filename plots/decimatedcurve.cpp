#include "plots/decimatedcurve.h"

#include <qwt_clipper.h>
#include <qwt_painter.h>
#include <qwt_scale_map.h>

#include <QPainter>

namespace {
// Below this many samples per pixel column the plain drawing is as cheap.
constexpr int kSamplesPerColumnToReduce = 2;

// Off: QPainter's rules for the end pixels of short segments make the reduced line
// differ from the full one by single pixels where it turns inside a column.
bool reductionOn = false;

// Wider than the clipping margin (pen width) and the rounding into the edge columns.
constexpr double kEdgePixels = 4.0;

void appendColumn(QPolygon &out, const QPoint *begin, const QPoint *end)
{
    const QPoint *low = begin;
    const QPoint *high = begin;
    for (const QPoint *p = begin; p != end; ++p) {
        if (p->y() < low->y())
            low = p;
        if (p->y() > high->y())
            high = p;
    }
    // Keep the order in which the line visits them, so the joins stay the same.
    const QPoint *picks[4] = {begin, qMin(low, high), qMax(low, high), end - 1};
    for (const QPoint *p : picks) {
        if (out.isEmpty() || out.last() != *p)
            out.append(*p);
    }
}
} // namespace

QPolygon DecimatedCurve::reduceToColumns(const QPolygon &points)
{
    QPolygon out;
    const QPoint *p = points.constData();
    const QPoint *end = p + points.size();
    while (p != end) {
        const QPoint *columnEnd = p;
        while (columnEnd != end && columnEnd->x() == p->x())
            ++columnEnd;
        appendColumn(out, p, columnEnd);
        p = columnEnd;
    }
    return out;
}

void DecimatedCurve::setColumnReduction(bool on)
{
    reductionOn = on;
}

bool DecimatedCurve::columnReduction()
{
    return reductionOn;
}

void DecimatedCurve::drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                const QRectF &canvasRect, int from, int to) const
{
    const int count = int(dataSize());
    if (to < 0)
        to = count - 1;
    // Samples a little outside the scale still round into the edge columns or the
    // clipping margin; one more sample either side keeps the lines crossing the edges.
    const double edgeA = xMap.invTransform(canvasRect.left() - kEdgePixels);
    const double edgeB = xMap.invTransform(canvasRect.right() + kEdgePixels);
    from = qMax(from, firstAtOrAfter(qMin(edgeA, edgeB)) - 1);
    to = qMin(to, firstAtOrAfter(qMax(edgeA, edgeB)));
    if (from <= to)
        QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, from, to);
}

void DecimatedCurve::drawCurve(QPainter *painter, int style, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                               const QRectF &canvasRect, int from, int to) const
{
    // Printing keeps sub-pixel positions, so only screen painting is reduced.
    const bool reducible = reductionOn && style == Lines && QwtPainter::roundingAlignment(painter)
        && to - from > kSamplesPerColumnToReduce * canvasRect.width();
    if (!reducible) {
        QwtPlotCurve::drawCurve(painter, style, xMap, yMap, canvasRect, from, to);
        return;
    }
    const QPolygon line = reduceToColumns(mapToPixels(xMap, yMap, from, to));
    const qreal pw = qMax(qreal(1.0), painter->pen().widthF());
    const QRect clip = canvasRect.adjusted(-pw, -pw, pw, pw).toAlignedRect();
    QwtPainter::drawPolyline(painter, QwtClipper::clipPolygon(clip, line, false));
}

int DecimatedCurve::firstAtOrAfter(double x) const
{
    const QwtSeriesData<QPointF> *series = data();
    int low = 0;
    int high = int(series->size());
    while (low < high) {
        const int mid = (low + high) / 2;
        if (series->sample(size_t(mid)).x() < x)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

QPolygon DecimatedCurve::mapToPixels(const QwtScaleMap &xMap, const QwtScaleMap &yMap, int from, int to) const
{
    const QwtSeriesData<QPointF> *series = data();
    QPolygon points(to - from + 1);
    QPoint *out = points.data();
    for (int i = from; i <= to; ++i) {
        const QPointF s = series->sample(size_t(i));
        *out++ = QPoint(qRound(xMap.transform(s.x())), qRound(yMap.transform(s.y())));
    }
    return points;
}
