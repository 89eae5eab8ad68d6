#include "watchplot.h"

#include "decimatedcurve.h"
#include "picker.h"
#include "plotdecor.h"
#include "sampleseries.h"
#include "timescaledraw.h"

#include <qwt_abstract_legend.h>
#include <qwt_plot_canvas.h>

#include <QDateTime>

namespace {
struct CurveLook
{
    const char *title;
    const char *colour;
};

const CurveLook kLooks[WatchPlot::kCurves] = {
    {"A", "#FF9933"}, {"B", "#339933"}, {"C", "#FF0000"},
    {"A", "#FF99FF"}, {"B", "#3399FF"}, {"C", "#FF00FF"},
};

// Both value axes start at this range until the first sample.
constexpr double kInitialAxisTop = 400.0;
// Headroom above the largest value while samples come in.
constexpr double kLiveMargin = 1.05;
} // namespace

WatchPlot::WatchPlot(QWidget *parent) : QwtPlot(parent)
{
    init();
}

WatchPlot::WatchPlot(const WatchPlot &other) : QwtPlot(nullptr)
{
    init();
    windowSeconds = other.windowSeconds;
    oneDecimal = other.oneDecimal;
    buffer = other.buffer;
    if (buffer.isEmpty())
        return;
    scaleValueAxes(1.0);
    showWindow();
    updateTitles();
    replot();
}

void WatchPlot::init()
{
    PlotDecor::setupCanvas(this);
    PlotDecor::addCheckableLegend(this);
    restart();
    setupAxes();
    setupCurves();
    PlotDecor::addGrid(this);
    picker = new Picker(canvas(), [this](const QPointF &p) { return trackerText(p); });
}

void WatchPlot::restart()
{
    PlotDecor::resetTimeAxis(this);
    buffer.clear();
}

void WatchPlot::setupAxes()
{
    const QFont font(QStringLiteral("Arial"), 8);
    QwtText left(tr("Ток (А)"));
    left.setFont(font);
    QwtText right(tr("Напряжение (В)"));
    right.setFont(font);
    setAxisTitle(yLeft, left);
    setAxisTitle(yRight, right);
    setAxisScale(yLeft, 0.0, kInitialAxisTop);
    setAxisScale(yRight, 0.0, kInitialAxisTop);
    enableAxis(yRight);
}

void WatchPlot::setupCurves()
{
    for (int i = 0; i < kCurves; ++i) {
        curves[i] = new DecimatedCurve(QString::fromLatin1(kLooks[i].title));
        curves[i]->setPen(QPen(QColor(QLatin1String(kLooks[i].colour))));
        curves[i]->setZ(curves[0]->z() - i);
        curves[i]->setData(new SampleSeries(&buffer, i));
        curves[i]->attach(this);
        if (i >= kPhases)
            curves[i]->setYAxis(yRight);
    }
    for (DecimatedCurve *c : curves)
        showCurve(c, true);
    connect(legend(), SIGNAL(checked(QVariant, bool, int)), this, SLOT(onLegendChecked(QVariant, bool, int)));
}

void WatchPlot::addSample(const double currents[kPhases], const double voltages[kPhases])
{
    addSampleAt(QDateTime::currentDateTime().toTime_t(), currents, voltages);
}

void WatchPlot::addSampleAt(quint32 secondsSince1970, const double currents[kPhases], const double voltages[kPhases])
{
    double values[kCurves];
    std::copy(currents, currents + kPhases, values);
    std::copy(voltages, voltages + kPhases, values + kPhases);
    buffer.append(secondsSince1970, values);
    scaleValueAxes(kLiveMargin); // before trimming: the leaving sample still counts
    trim();
    showWindow();
    updateTitles();
    replot();
}

void WatchPlot::scaleValueAxes(double margin)
{
    double largestCurrent = 0.0;
    double largestVoltage = 0.0;
    for (int i = 0; i < kPhases; ++i) {
        largestCurrent = qMax(largestCurrent, buffer.largest(i));
        largestVoltage = qMax(largestVoltage, buffer.largest(kPhases + i));
    }
    setAxisScale(yLeft, 0.0, kMinCurrentTop > largestCurrent ? kMinCurrentTop : margin * largestCurrent);
    setAxisScale(yRight, 0.0, kMinVoltageTop > largestVoltage ? kMinVoltageTop : margin * largestVoltage);
}

void WatchPlot::trim()
{
    while (qint64(buffer.newestTime() - buffer.oldestTime()) > windowSeconds + kTrimSlack)
        buffer.removeOldest();
}

void WatchPlot::showWindow()
{
    const double newest = buffer.newestTime();
    setAxisScale(xBottom, newest - windowSeconds, newest);
}

void WatchPlot::updateTitles()
{
    const char *currentFormat = oneDecimal ? "%5.1f" : "%5.0f";
    for (int i = 0; i < kCurves; ++i) {
        const bool current = i < kPhases;
        const QString value = QString::asprintf(current ? currentFormat : "%5.0f", buffer.newest(i));
        const QString prefix = current ? tr("Ток ") : tr("Напряжение ");
        curves[i]->setTitle(prefix + QLatin1String(kLooks[i].title) + QLatin1Char(':') + value);
    }
}

QwtPlotItem *WatchPlot::curve(int index) const
{
    return index >= 0 && index < kCurves ? curves[index] : nullptr;
}

QString WatchPlot::trackerText(const QPointF &position) const
{
    return tr("Ток: ") + QString::number(position.y(), 'f', 1) + tr(" Напряжение: ")
        + QString::number(PlotDecor::rightAxisValue(this, position.y()), 'f', 1) + QLatin1Char(' ')
        + TimeScaleDraw::timeOfDay(position.x());
}

void WatchPlot::showCurve(QwtPlotItem *item, bool on)
{
    item->setVisible(on);
    PlotDecor::setLegendChecked(this, item, on);
    replot();
}

void WatchPlot::onLegendChecked(const QVariant &itemInfo, bool on, int)
{
    if (QwtPlotItem *item = infoToItem(itemInfo))
        showCurve(item, on);
}
