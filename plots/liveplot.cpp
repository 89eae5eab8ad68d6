#include "plots/liveplot.h"

#include "plots/decimatedcurve.h"
#include "plots/picker.h"
#include "plots/plotdecor.h"
#include "plots/sampleseries.h"

#include <qwt_abstract_legend.h>
#include <qwt_plot_canvas.h>

#include <QDateTime>

LivePlot::LivePlot(QWidget *parent, int columns, int trimSlack)
    : QwtPlot(parent), trimSlack(trimSlack), buffer(columns)
{
    PlotDecor::setupCanvas(this);
    PlotDecor::addCheckableLegend(this);
    connect(legend(), SIGNAL(checked(QVariant, bool, int)), this, SLOT(onLegendChecked(QVariant, bool, int)));
    restart();
    PlotDecor::addGrid(this);
    picker = new Picker(canvas(), [this](const QPointF &p) { return trackerText(p); });
}

void LivePlot::restart()
{
    PlotDecor::resetTimeAxis(this);
    buffer.clear();
}

void LivePlot::copySamples(const LivePlot &other)
{
    windowSeconds = other.windowSeconds;
    showSamples(other.buffer);
}

void LivePlot::showSamples(const SampleBuffer &samples)
{
    buffer = samples;
    if (buffer.isEmpty())
        return;
    scaleValueAxes(Scaling::Copy);
    showWindow();
    updateTitles();
    replot();
}

void LivePlot::addValues(quint32 secondsSince1970, const double *values)
{
    buffer.append(secondsSince1970, values);
    scaleValueAxes(Scaling::Live); // before trimming: the leaving sample still counts
    trim();
    showWindow();
    updateTitles();
    replot();
}

quint32 LivePlot::now()
{
    return QDateTime::currentDateTime().toTime_t();
}

void LivePlot::setupValueAxes(const QString &left, double leftTop, const QString &right, double rightTop)
{
    const QFont font(QStringLiteral("Arial"), 8);
    QwtText leftTitle(left);
    leftTitle.setFont(font);
    QwtText rightTitle(right);
    rightTitle.setFont(font);
    setAxisTitle(yLeft, leftTitle);
    setAxisTitle(yRight, rightTitle);
    setAxisScale(yLeft, 0.0, leftTop);
    setAxisScale(yRight, 0.0, rightTop);
    enableAxis(yRight);
}

void LivePlot::addCurve(const QString &title, const QColor &colour, int zBelow, int yAxis)
{
    auto *curve = new DecimatedCurve(title);
    // Width 0: one device pixel on screen and in a scaled report alike.
    curve->setPen(QPen(colour, 0));
    curve->setZ(curve->z() - zBelow);
    curve->setData(new SampleSeries(&buffer, int(curves.size())));
    curve->setYAxis(yAxis);
    curve->attach(this);
    curves.push_back(curve);
    showCurve(curve, true); // checks its legend item
}

void LivePlot::trim()
{
    while (qint64(buffer.newestTime() - buffer.oldestTime()) > windowSeconds + trimSlack)
        buffer.removeOldest();
}

void LivePlot::showWindow()
{
    const double newest = buffer.newestTime();
    setAxisScale(xBottom, newest - windowSeconds, newest);
}

QwtPlotItem *LivePlot::curve(int index) const
{
    return index >= 0 && index < int(curves.size()) ? curves[index] : nullptr;
}

void LivePlot::showCurve(QwtPlotItem *item, bool on)
{
    item->setVisible(on);
    PlotDecor::setLegendChecked(this, item, on);
    replot();
}

void LivePlot::onLegendChecked(const QVariant &itemInfo, bool on, int)
{
    if (QwtPlotItem *item = infoToItem(itemInfo))
        showCurve(item, on);
}
