#include "plots/tempplot.h"

#include "plots/plotdecor.h"
#include "plots/timescaledraw.h"

namespace {
// The temperature window holds exactly the interval shown.
constexpr int kTrimSlack = SampleWindow::kTemperatureSlack;
} // namespace

TempPlot::TempPlot(QWidget *parent) : LivePlot(parent, ColumnCount, kTrimSlack)
{
    setupValueAxes(tr("Температура (°C)"), kMinTemperatureTop, tr("Расчётный нагрев (%)"), kMinHeatingTop);
    addCurve(tr("Температура"), QColor(QStringLiteral("#FF9933")), 0, yLeft);
    addCurve(tr("Расчётный нагрев"), QColor(QStringLiteral("#FF99FF")), 3, yRight);
}

TempPlot::TempPlot(const TempPlot &other) : TempPlot(nullptr)
{
    copySamples(other);
}

void TempPlot::addSample(double temperature, double heating)
{
    addSampleAt(now(), temperature, heating);
}

void TempPlot::addSampleAt(quint32 secondsSince1970, double temperature, double heating)
{
    const double values[ColumnCount] = {temperature, heating};
    addValues(secondsSince1970, values);
}

void TempPlot::updateTitles()
{
    const int temperature = int(samples().newest(Temperature));
    curve(Temperature)->setTitle(tr("Температура: ") + QString::number(temperature) + tr("°C"));
    const int heating = int(samples().newest(Heating));
    curve(Heating)->setTitle(tr("Нагрев: ") + QString::number(heating) + QLatin1Char('%'));
}

void TempPlot::scaleValueAxes(Scaling scaling)
{
    // Only the live axis follows a short sensor below 0; the printed one always starts at 0.
    const bool allowNegative = scaling == Scaling::Live;
    const double hottest = samples().largest(Temperature);
    const double coldest = samples().smallest(Temperature);
    const double bottom = allowNegative && coldest <= 0.0 ? coldest : 0.0;
    setAxisScale(yLeft, bottom, kMinTemperatureTop > hottest ? kMinTemperatureTop : hottest);
    const double heating = samples().largest(Heating);
    setAxisScale(yRight, 0.0, kMinHeatingTop > heating ? kMinHeatingTop : heating);
}

QString TempPlot::trackerText(const QPointF &position) const
{
    return tr("Температура: ") + QString::number(int(position.y())) + tr("°C\n") + tr(" Расчётный нагрев: ")
        + QString::number(int(PlotDecor::rightAxisValue(this, position.y()))) + QStringLiteral("%\n")
        + TimeScaleDraw::timeOfDay(position.x());
}
