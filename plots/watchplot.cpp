#include "plots/watchplot.h"

#include "plots/plotdecor.h"
#include "plots/timescaledraw.h"

#include <algorithm>

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
// Values in the curve titles take this many characters, so the legend keeps its width.
constexpr int kTitleWidth = 5;
} // namespace

WatchPlot::WatchPlot(QWidget *parent) : LivePlot(parent, kCurves, kTrimSlack)
{
    setupValueAxes(tr("Ток (А)"), kInitialAxisTop, tr("Напряжение (В)"), kInitialAxisTop);
    for (int i = 0; i < kCurves; ++i) {
        const QColor colour(QLatin1String(kLooks[i].colour));
        addCurve(QString::fromLatin1(kLooks[i].title), colour, i, i < kPhases ? yLeft : yRight);
    }
}

WatchPlot::WatchPlot(const WatchPlot &other) : WatchPlot(nullptr)
{
    ampereScale = other.ampereScale;
    copySamples(other);
}

void WatchPlot::addSample(const double currents[kPhases], const double voltages[kPhases])
{
    addSampleAt(now(), currents, voltages);
}

void WatchPlot::addSampleAt(quint32 secondsSince1970, const double currents[kPhases], const double voltages[kPhases])
{
    double values[kCurves];
    std::copy(currents, currents + kPhases, values);
    std::copy(voltages, voltages + kPhases, values + kPhases);
    addValues(secondsSince1970, values);
}

void WatchPlot::scaleValueAxes(Scaling scaling)
{
    // The copy for the report shows the largest values without headroom.
    const double margin = scaling == Scaling::Live ? kLiveMargin : 1.0;
    double largestCurrent = 0.0;
    double largestVoltage = 0.0;
    for (int i = 0; i < kPhases; ++i) {
        largestCurrent = qMax(largestCurrent, samples().largest(i));
        largestVoltage = qMax(largestVoltage, samples().largest(kPhases + i));
    }
    setAxisScale(yLeft, 0.0, kMinCurrentTop > largestCurrent ? kMinCurrentTop : margin * largestCurrent);
    setAxisScale(yRight, 0.0, kMinVoltageTop > largestVoltage ? kMinVoltageTop : margin * largestVoltage);
}

void WatchPlot::updateTitles()
{
    for (int i = 0; i < kCurves; ++i) {
        const bool current = i < kPhases;
        const double newest = samples().newest(i);
        const QString value = current ? ampereScale.text(newest, kTitleWidth) : QString::asprintf("%5.0f", newest);
        const QString prefix = current ? tr("Ток ") : tr("Напряжение ");
        curve(i)->setTitle(prefix + QLatin1String(kLooks[i].title) + QLatin1Char(':') + value);
    }
}

QString WatchPlot::trackerText(const QPointF &position) const
{
    return tr("Ток: ") + QString::number(position.y(), 'f', 1) + tr(" Напряжение: ")
        + QString::number(PlotDecor::rightAxisValue(this, position.y()), 'f', 1) + QLatin1Char(' ')
        + TimeScaleDraw::timeOfDay(position.x());
}
