#include "plots/crashplot.h"

#include "device/crashoscillogrampacket.h"
#include "plots/picker.h"
#include "plots/plotdecor.h"

#include <qwt_abstract_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_engine.h>

#include <algorithm>
#include <iterator>

namespace {

struct CrashCurveLook
{
    const char *title;
    const char *colour;
};

const CrashCurveLook kCrashLooks[CrashPlot::kCurves] = {
    {QT_TRANSLATE_NOOP("CrashPlot", "Ток A"), "#FF9933"},
    {QT_TRANSLATE_NOOP("CrashPlot", "Ток B"), "#339933"},
    {QT_TRANSLATE_NOOP("CrashPlot", "Ток C"), "#FF0000"},
    {QT_TRANSLATE_NOOP("CrashPlot", "Напряжение A"), "#FF99FF"},
    {QT_TRANSLATE_NOOP("CrashPlot", "Напряжение B"), "#3399FF"},
    {QT_TRANSLATE_NOOP("CrashPlot", "Напряжение C"), "#FF00FF"},
};

constexpr int kCrashMinimumWidth = 360;
constexpr int kCrashTitlePoints = 8;

QwtText crashTitle(const QString &text)
{
    QwtText title(text);
    title.setFont(QFont(QStringLiteral("Arial"), kCrashTitlePoints));
    return title;
}

QwtLinearScaleEngine *symmetricEngine()
{
    auto *engine = new QwtLinearScaleEngine;
    engine->setAttribute(QwtScaleEngine::Symmetric);
    return engine;
}

} // namespace

CrashPlot::CrashPlot(QWidget *parent) : QwtPlot(parent)
{
    setObjectName(QStringLiteral("crashPlot"));
    // Qwt's own policy makes the preferred size the least one: the window would not fit a laptop.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    PlotDecor::setupCanvas(this);
    setMinimumWidth(kCrashMinimumWidth);
    PlotDecor::addCheckableLegend(this);
    connect(legend(), SIGNAL(checked(QVariant, bool, int)), this, SLOT(onLegendChecked(QVariant, bool, int)));
    setupAxes();
    setupCurves();
    PlotDecor::addGrid(this);
    new Picker(canvas(), [this](const QPointF &p) { return trackerText(p); });
    setupTimes();
}

CrashPlot::CrashPlot(const CrashPlot &other) : CrashPlot(nullptr)
{
    times = other.times;
    std::copy(std::begin(other.values), std::end(other.values), values);
    anchor = other.anchor;
    showValues();
}

void CrashPlot::setupAxes()
{
    setAxisTitle(yLeft, crashTitle(tr("Ток (А)")));
    setAxisTitle(yRight, crashTitle(tr("Напряжение (В)")));
    setAxisTitle(xBottom, crashTitle(tr("Время (мс)")));
    enableAxis(yRight);
    setAxisScaleEngine(yLeft, symmetricEngine());
    setAxisScaleEngine(yRight, symmetricEngine());
    const int samples = CrashOscillogramPacket::kSamples;
    setAxisScale(xBottom, CrashOscillogramPacket::sampleTimeMs(0), CrashOscillogramPacket::sampleTimeMs(samples - 1));
}

void CrashPlot::setupCurves()
{
    for (int i = 0; i < kCurves; ++i) {
        auto *c = new QwtPlotCurve(tr(kCrashLooks[i].title));
        c->setPen(QPen(QColor(QLatin1String(kCrashLooks[i].colour)), 0));
        c->setZ(c->z() - i); // the first curve on top
        c->setYAxis(i < CrashOscillogramPacket::kCurrentChannels ? yLeft : yRight);
        c->attach(this);
        curves[i] = c;
        showCurve(c, true); // checks its legend item
    }
}

// The anchor's time, then the times of the 64 samples.
void CrashPlot::setupTimes()
{
    times = {kAnchorTimeMs};
    for (int k = 0; k < CrashOscillogramPacket::kSamples; ++k)
        times.append(CrashOscillogramPacket::sampleTimeMs(k));
}

void CrashPlot::setData(const CrashOscillogramPacket &oscillogram)
{
    for (int i = 0; i < kCurves; ++i)
        values[i] = QVector<double> {anchor} + oscillogram.channelValues(i);
    showValues();
}

void CrashPlot::showValues()
{
    for (int i = 0; i < kCurves; ++i)
        curves[i]->setSamples(times, values[i]);
    replot();
}

QwtPlotCurve *CrashPlot::curve(int index) const
{
    return index >= 0 && index < kCurves ? curves[index] : nullptr;
}

QString CrashPlot::trackerText(const QPointF &position) const
{
    return tr("Ток: ") + QString::number(position.y(), 'f', 1) + tr(" Напряжение: ")
        + QString::number(PlotDecor::rightAxisValue(this, position.y()), 'f', 1) + QLatin1Char('\n')
        + QString::number(qRound(position.x())) + tr("мс");
}

void CrashPlot::showCurve(QwtPlotItem *item, bool on)
{
    item->setVisible(on);
    PlotDecor::setLegendChecked(this, item, on);
    replot();
}

void CrashPlot::onLegendChecked(const QVariant &itemInfo, bool on, int)
{
    if (QwtPlotItem *item = infoToItem(itemInfo))
        showCurve(item, on);
}
