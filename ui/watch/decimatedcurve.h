#pragma once

#include <qwt_plot_curve.h>

#include <QPolygon>

// A line curve for long time series with ascending x. It draws only the samples in
// the visible time range, and on screen reduces the samples that fall into one pixel
// column to the first, lowest, highest and last of them: the same pixels, a few
// points per column instead of thousands.
class DecimatedCurve : public QwtPlotCurve
{
public:
    explicit DecimatedCurve(const QString &title) : QwtPlotCurve(title) {}

    // points already rounded to pixels; x must not decrease.
    static QPolygon reduceToColumns(const QPolygon &points);

protected:
    void drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                    const QRectF &canvasRect, int from, int to) const override;
    void drawCurve(QPainter *painter, int style, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                   const QRectF &canvasRect, int from, int to) const override;

private:
    int firstAtOrAfter(double x) const;
    QPolygon mapToPixels(const QwtScaleMap &xMap, const QwtScaleMap &yMap, int from, int to) const;
};
