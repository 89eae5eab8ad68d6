#include "plots/idleprotectionplot.h"

#include "plots/picker.h"
#include "plots/plotdecor.h"

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_text.h>

#include <QPen>

#include <algorithm>

namespace {

// The ends of each band: 220 V minus and plus the percentages of its entry.
constexpr double kBands[IdleProtectionPlot::kToleranceCount][2] = {
    {187.0, 242.0}, {176.0, 253.0}, {165.0, 264.0}, {154.0, 275.0}};
constexpr double kCurrentMargin = 0.1; // amperes above and below the line
constexpr int kIdleMinimumWidth = 220;
constexpr int kAxisFontPoints = 8;
const QColor kCurveColor(QStringLiteral("#FF9933"));

int bandIndex(int voltageTolerance)
{
    return std::clamp(voltageTolerance, 0, IdleProtectionPlot::kToleranceCount - 1);
}

QwtText smallTitle(const QString &text)
{
    QwtText title(text);
    title.setFont(QFont(QStringLiteral("Arial"), kAxisFontPoints));
    return title;
}

} // namespace

IdleProtectionPlot::IdleProtectionPlot(double ratedCurrent, double minCurrentFraction, int voltageTolerance,
                                       double correction, QWidget *parent)
    : QwtPlot(parent)
{
    setObjectName(QStringLiteral("idleProtectionPlot"));
    insertLegend(new QwtLegend, QwtPlot::RightLegend); // items read-only by default
    setAutoReplot(false);
    plotLayout()->setAlignCanvasToScales(true);
    setMinimumWidth(kIdleMinimumWidth);
    setCanvasBackground(PlotDecor::canvasColor());
    setupAxes();
    setupItems();
    draw(ratedCurrent, minCurrentFraction, voltageTolerance, correction);
}

double IdleProtectionPlot::lowerVoltage(int voltageTolerance)
{
    return kBands[bandIndex(voltageTolerance)][0];
}

double IdleProtectionPlot::upperVoltage(int voltageTolerance)
{
    return kBands[bandIndex(voltageTolerance)][1];
}

void IdleProtectionPlot::setupAxes()
{
    setAxisLabelRotation(xBottom, 0.0);
    setAxisFont(xBottom, QFont(QStringLiteral("Arial"), kAxisFontPoints));
    setAxisTitle(xBottom, smallTitle(tr("Напряжение сети, В")));
    setAxisTitle(yLeft, smallTitle(tr("Минимально допустимый ток, А")));
}

void IdleProtectionPlot::setupItems()
{
    line = new QwtPlotCurve(tr("Минимально\nдопустимый\nток"));
    line->setPen(kCurveColor);
    line->attach(this);
    auto *grid = new QwtPlotGrid;
    grid->enableX(true);
    grid->enableY(true);
    grid->enableXMin(false);
    grid->enableYMin(true);
    grid->setMajorPen(Qt::blue, 0, Qt::DotLine);
    grid->setMinorPen(Qt::gray, 0, Qt::DotLine);
    grid->attach(this);
    // The tracker names the current and the voltage under the mouse.
    new Picker(canvas(), [](const QPointF &pos) -> QString {
        return tr("Ток: ") + QString::number(pos.y(), 'f', 1) + tr(" Напряжение: ") + QString::number(pos.x(), 'f', 1);
    });
}

void IdleProtectionPlot::draw(double ratedCurrent, double minCurrentFraction, int voltageTolerance,
                              double correction)
{
    const double current = ratedCurrent * minCurrentFraction;
    const double ends[2] = {lowerVoltage(voltageTolerance), upperVoltage(voltageTolerance)};
    QVector<QPointF> points;
    for (double v : ends)
        points << QPointF(v, current * (1.0f + correction * (v - float(kNominalVoltage)) / float(kNominalVoltage)));
    line->setSamples(points);
    setAxisScale(xBottom, ends[0], ends[1]);
    const double low = qMin(points[0].y(), points[1].y());
    const double high = qMax(points[0].y(), points[1].y());
    setAxisScale(yLeft, low - kCurrentMargin, high + kCurrentMargin);
    replot();
}
