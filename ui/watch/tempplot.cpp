#include "tempplot.h"

#include "decimatedcurve.h"
#include "picker.h"
#include "plotdecor.h"
#include "sampleseries.h"
#include "timescaledraw.h"

#include <qwt_abstract_legend.h>
#include <qwt_plot_canvas.h>

#include <QDateTime>

TempPlot::TempPlot(QWidget *parent) : QwtPlot(parent)
{
    init();
}

TempPlot::TempPlot(const TempPlot &other) : QwtPlot(nullptr)
{
    init();
    windowSeconds = other.windowSeconds;
    buffer = other.buffer;
    if (buffer.isEmpty())
        return;
    scaleValueAxes(false); // the printed temperature axis always starts at 0
    showWindow();
    updateTitles();
    replot();
}

void TempPlot::init()
{
    PlotDecor::setupCanvas(this);
    PlotDecor::addCheckableLegend(this);
    restart();
    setupAxes();
    setupCurves();
    PlotDecor::addGrid(this);
    picker = new Picker(canvas(), [this](const QPointF &p) { return trackerText(p); });
}

void TempPlot::restart()
{
    PlotDecor::resetTimeAxis(this);
    buffer.clear();
}

void TempPlot::setupAxes()
{
    const QFont font(QStringLiteral("Arial"), 8);
    QwtText left(tr("Температура (°C)"));
    left.setFont(font);
    QwtText right(tr("Расчётный нагрев (%)"));
    right.setFont(font);
    setAxisTitle(yLeft, left);
    setAxisTitle(yRight, right);
    setAxisScale(yLeft, 0.0, kMinTemperatureTop);
    setAxisScale(yRight, 0.0, kMinHeatingTop);
    enableAxis(yRight);
}

void TempPlot::setupCurves()
{
    curves[Temperature] = new DecimatedCurve(tr("Температура"));
    curves[Temperature]->setPen(QPen(QColor(QStringLiteral("#FF9933"))));
    curves[Heating] = new DecimatedCurve(tr("Расчётный нагрев"));
    curves[Heating]->setPen(QPen(QColor(QStringLiteral("#FF99FF"))));
    curves[Heating]->setZ(curves[Temperature]->z() - 3);
    curves[Heating]->setYAxis(yRight);
    for (int i = 0; i < ColumnCount; ++i) {
        curves[i]->setData(new SampleSeries(&buffer, i));
        curves[i]->attach(this);
    }
    for (DecimatedCurve *c : curves)
        showCurve(c, true);
    connect(legend(), SIGNAL(checked(QVariant, bool, int)), this, SLOT(onLegendChecked(QVariant, bool, int)));
}

void TempPlot::addSample(double temperature, double heating)
{
    addSampleAt(QDateTime::currentDateTime().toTime_t(), temperature, heating);
}

void TempPlot::addSampleAt(quint32 secondsSince1970, double temperature, double heating)
{
    const double values[ColumnCount] = {temperature, heating};
    buffer.append(secondsSince1970, values);
    scaleValueAxes(true); // before trimming: the leaving sample still counts
    trim();
    showWindow();
    updateTitles();
    replot();
}

void TempPlot::updateTitles()
{
    const int temperature = int(buffer.newest(Temperature));
    curves[Temperature]->setTitle(tr("Температура: ") + QString::number(temperature) + tr("°C"));
    const int heating = int(buffer.newest(Heating));
    curves[Heating]->setTitle(tr("Нагрев: ") + QString::number(heating) + QLatin1Char('%'));
}

void TempPlot::scaleValueAxes(bool allowNegative)
{
    const double hottest = buffer.largest(Temperature);
    const double coldest = buffer.smallest(Temperature);
    const double bottom = allowNegative && coldest <= 0.0 ? coldest : 0.0;
    setAxisScale(yLeft, bottom, kMinTemperatureTop > hottest ? kMinTemperatureTop : hottest);
    const double heating = buffer.largest(Heating);
    setAxisScale(yRight, 0.0, kMinHeatingTop > heating ? kMinHeatingTop : heating);
}

void TempPlot::trim()
{
    while (qint64(buffer.newestTime() - buffer.oldestTime()) > windowSeconds)
        buffer.removeOldest();
}

void TempPlot::showWindow()
{
    const double newest = buffer.newestTime();
    setAxisScale(xBottom, newest - windowSeconds, newest);
}

QwtPlotItem *TempPlot::curve(int index) const
{
    return index >= 0 && index < ColumnCount ? curves[index] : nullptr;
}

QString TempPlot::trackerText(const QPointF &position) const
{
    return tr("Температура: ") + QString::number(int(position.y())) + tr("°C\n") + tr(" Расчётный нагрев: ")
        + QString::number(int(PlotDecor::rightAxisValue(this, position.y()))) + QStringLiteral("%\n")
        + TimeScaleDraw::timeOfDay(position.x());
}

void TempPlot::showCurve(QwtPlotItem *item, bool on)
{
    item->setVisible(on);
    PlotDecor::setLegendChecked(this, item, on);
    replot();
}

void TempPlot::onLegendChecked(const QVariant &itemInfo, bool on, int)
{
    if (QwtPlotItem *item = infoToItem(itemInfo))
        showCurve(item, on);
}
