#include "ui/history/historyplot.h"

#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_legend.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_scale_widget.h>

#include <QDateTime>
#include <QLocale>
#include <QPen>

#include <algorithm>

namespace {
// Phase A, B, C as the live plots colour them; a single curve takes the first.
const Qt::GlobalColor kColours[] = {Qt::darkYellow, Qt::darkGreen, Qt::red, Qt::blue};
// Narrow enough for a laptop beside the event list; the time axis takes fewer labels.
constexpr int kMinimumWidth = 360;
constexpr int kMinimumHeight = 120;
constexpr int kMostTimeLabels = 8;
// Room for one time label: its widest line and a gap.
const char kWidestTimeLabel[] = "00 WWWW 0000    ";

// The local time in the plot's language (month and day names), whatever the system's.
class LocalTimeScaleDraw : public QwtDateScaleDraw
{
public:
    explicit LocalTimeScaleDraw(const QWidget *owner) : QwtDateScaleDraw(Qt::LocalTime), owner(owner)
    {
        setDateFormat(QwtDate::Second, QStringLiteral("hh:mm:ss\ndd MMM yyyy"));
        setDateFormat(QwtDate::Minute, QStringLiteral("hh:mm\ndd MMM yyyy"));
        setDateFormat(QwtDate::Hour, QStringLiteral("hh:mm\ndd MMM yyyy"));
        setDateFormat(QwtDate::Day, QStringLiteral("ddd dd MMM yyyy"));
        setDateFormat(QwtDate::Week, QStringLiteral("dd MMM yyyy"));
    }

    QwtText label(double value) const override
    {
        const QDateTime time = toDateTime(value);
        return QwtText(owner->locale().toString(time, dateFormatOfDate(time, intervalType(scaleDiv()))));
    }

private:
    const QWidget *owner;
};

// Numbers in the plot's language: "1 000,5" in Russian, "1,000.5" in English.
class LocalNumberScaleDraw : public QwtScaleDraw
{
public:
    explicit LocalNumberScaleDraw(const QWidget *owner) : owner(owner) {}

    QwtText label(double value) const override { return QwtText(owner->locale().toString(value)); }

private:
    const QWidget *owner;
};
} // namespace

HistoryPlot::HistoryPlot(const QString &title, const QStringList &curveNames, QWidget *parent) : QwtPlot(parent)
{
    setTitle(title);
    setCanvasBackground(Qt::white);
    setAxisScaleDraw(xBottom, new LocalTimeScaleDraw(this));
    setAxisScaleEngine(xBottom, new QwtDateScaleEngine(Qt::LocalTime));
    setAxisScaleDraw(yLeft, new LocalNumberScaleDraw(this));
    enableAxis(xBottom, false); // no time before there are samples: it would read 1970
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
    setMinimumHeight(kMinimumHeight);
}

QSize HistoryPlot::minimumSizeHint() const
{
    // Qwt asks for room for every label of the time axis; redraw() takes fewer instead.
    return QSize(kMinimumWidth, QwtPlot::minimumSizeHint().height());
}

void HistoryPlot::setSamples(const QVector<double> &t, const QVector<QVector<double>> &v)
{
    times = t;
    values = v;
    enableAxis(xBottom, !times.isEmpty());
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
    const int labelWidth = axisWidget(xBottom)->fontMetrics().horizontalAdvance(QLatin1String(kWidestTimeLabel));
    setAxisMaxMajor(xBottom, qBound(2, canvas()->width() / qMax(1, labelWidth), kMostTimeLabels));
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
