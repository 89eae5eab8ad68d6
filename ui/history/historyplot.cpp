#include "ui/history/historyplot.h"

#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_legend.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>

#include <QPen>

#include <algorithm>

namespace {
// Phase A, B, C as the live plots colour them; a single curve takes the first.
const Qt::GlobalColor kColours[] = {Qt::darkYellow, Qt::darkGreen, Qt::red, Qt::blue};
} // namespace

HistoryPlot::HistoryPlot(const QString &title, const QStringList &curveNames, QWidget *parent) : QwtPlot(parent)
{
    setTitle(title);
    setCanvasBackground(Qt::white);
    setAxisScaleDraw(xBottom, new QwtDateScaleDraw(Qt::LocalTime));
    setAxisScaleEngine(xBottom, new QwtDateScaleEngine(Qt::LocalTime));
    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QPen(Qt::lightGray, 0, Qt::DotLine));
    grid->attach(this);
    for (int c = 0; c < curveNames.size(); ++c) {
        auto *curve = new QwtPlotCurve(curveNames[c]);
        curve->setPen(QPen(kColours[c % int(std::size(kColours))], 1));
        curve->setRenderHint(QwtPlotItem::RenderAntialiased, false);
        curve->attach(this);
        curves.append(curve);
    }
    if (curveNames.size() > 1)
        insertLegend(new QwtLegend(this), QwtPlot::RightLegend);
    setMinimumHeight(120);
}

void HistoryPlot::setSamples(const QVector<double> &t, const QVector<QVector<double>> &v)
{
    times = t;
    values = v;
    if (!times.isEmpty())
        setAxisScale(xBottom, times.first(), times.last() > times.first() ? times.last() : times.first() + 1000);
    redraw();
}

int HistoryPlot::drawnPoints(int c) const
{
    return c >= 0 && c < curves.size() ? int(curves[c]->dataSize()) : 0;
}

void HistoryPlot::resizeEvent(QResizeEvent *event)
{
    QwtPlot::resizeEvent(event);
    redraw();
}

void HistoryPlot::redraw()
{
    const int columns = qMax(100, canvas()->width());
    for (int c = 0; c < curves.size(); ++c) {
        QVector<double> x;
        QVector<double> y;
        if (c < values.size())
            decimate(times, values[c], columns, x, y);
        curves[c]->setSamples(x, y);
    }
    replot();
}

void HistoryPlot::decimate(const QVector<double> &t, const QVector<double> &v, int columns, QVector<double> &outT,
                           QVector<double> &outV)
{
    outT.clear();
    outV.clear();
    const int n = qMin(t.size(), v.size());
    outT.reserve(qMin(n, columns * 4 + 4));
    outV.reserve(qMin(n, columns * 4 + 4));
    if (n <= columns * 4) {
        outT = t.mid(0, n);
        outV = v.mid(0, n);
        return;
    }
    const double t0 = t[0];
    const double width = (t[n - 1] - t0) / columns;
    for (int i = 0; i < n;) {
        const int column = width > 0 ? int((t[i] - t0) / width) : 0;
        int lo = i, hi = i, j = i;
        for (; j < n && (width <= 0 || int((t[j] - t0) / width) == column || j == n - 1); ++j) {
            if (v[j] < v[lo]) lo = j;
            if (v[j] > v[hi]) hi = j;
        }
        const int last = j - 1;
        int picks[] = {i, qMin(lo, hi), qMax(lo, hi), last};
        for (int k = 0; k < 4; ++k)
            if (k == 0 || picks[k] != picks[k - 1]) {
                outT.append(t[picks[k]]);
                outV.append(v[picks[k]]);
            }
        i = j;
    }
}
