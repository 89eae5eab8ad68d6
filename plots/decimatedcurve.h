#pragma once

#include <qwt_plot_curve.h>

#include <QPolygon>

// A line curve for long time series with ascending x. It draws only the samples in
// the visible time range. On request it also reduces, on screen, the samples that
// fall into one pixel column to the first, lowest, highest and last of them: about
// three times cheaper to paint, but not pixel-exact, so it is off by default.
class DecimatedCurve : public QwtPlotCurve
{
public:
    explicit DecimatedCurve(const QString &title) : QwtPlotCurve(title) {}

    // points already rounded to pixels; x must not decrease.
    static QPolygon reduceToColumns(const QPolygon &points);
    // Process-wide; off by default.
    static void setColumnReduction(bool on);
    static bool columnReduction();

protected:
    void drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                    const QRectF &canvasRect, int from, int to) const override;
    void drawCurve(QPainter *painter, int style, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                   const QRectF &canvasRect, int from, int to) const override;

private:
    int firstAtOrAfter(double x) const;
    QPolygon mapToPixels(const QwtScaleMap &xMap, const QwtScaleMap &yMap, int from, int to) const;
};
