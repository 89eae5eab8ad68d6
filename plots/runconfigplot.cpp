#include "plots/runconfigplot.h"

#include "device/protectioncharacteristic.h"
#include "plots/picker.h"
#include "plots/plotdecor.h"
#include "plots/worker.h"

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_engine.h>

#include <QThread>

namespace {

// The time axis spans what a start or a protection can take; the zero of a
// recorded time is drawn at its bottom.
constexpr double kTimeAxisLow = 0.001;
constexpr double kTimeAxisHigh = 600.0;
constexpr double kCurrentAxisLow = 0.1;   // until a mode or a build sets it
constexpr double kCurrentAxisHigh = 15.0;
constexpr double kLogCurrentAxisLow = 0.08; // a mode change on the logarithmic axis
constexpr double kRatedLineTop = 100000.0;
constexpr int kFillAlpha = 75;
constexpr int kTitleFontSize = 10;
constexpr int kTitleFontWeight = 8;

QwtText titleText(const QString &text)
{
    QwtText title(text);
    title.setFont(QFont(QStringLiteral("Arial"), kTitleFontSize, kTitleFontWeight));
    return title;
}

} // namespace

RunConfigPlot::RunConfigPlot(CurrentAxis axis, QWidget *parent) : QwtPlot(parent)
{
    qRegisterMetaType<QVector<double>>();
    setObjectName(QStringLiteral("runConfigPlot"));
    // Qwt's own policy makes the preferred size the least one: the window would not fit a laptop.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    PlotDecor::setupCanvas(this);
    insertLegend(new QwtLegend, RightLegend);
    setupAxes();
    setupCurves();
    PlotDecor::addGrid(this);
    new Picker(canvas(), [this](const QPointF &p) { return trackerText(p); });
    setCurrentAxisScale(axis);
}

RunConfigPlot::RunConfigPlot(const RunConfigPlot &other) : RunConfigPlot(other.currentAxisScale(), nullptr)
{
    model.setSettings(other.protectionSettings());
    scale_ = other.scale_;
    setStartCharacteristic(other.start);
    std::copy(std::begin(other.ratedLineX), std::end(other.ratedLineX), ratedLineX);
    buildProtectionGraph(BuildMode::Synchronous);
}

RunConfigPlot::~RunConfigPlot()
{
    stopBuild = true; // the build ends at its next point and delivers nothing
    releaseThread();
}

void RunConfigPlot::setupAxes()
{
    setAxisTitle(yLeft, titleText(tr("Время (с)")));
    setAxisScaleEngine(yLeft, new QwtLogScaleEngine(10));
    setAxisScale(yLeft, kTimeAxisLow, kTimeAxisHigh);
    setAxisTitle(xBottom, titleText(tr("Ток (А)")));
    setAxisScale(xBottom, kCurrentAxisLow, kCurrentAxisHigh);
}

void RunConfigPlot::setupCurves()
{
    const QColor green(Qt::green);
    auto *startCurve = new QwtPlotCurve(tr("Пусковая характеристика"));
    startCurve->setPen(QPen(green));
    startCurve->setRenderHint(QwtPlotItem::RenderAntialiased);
    startCurve->setBaseline(kTimeAxisLow); // the fill reaches the bottom of the time axis
    startCurve->setBrush(QColor(green.red(), green.green(), green.blue(), kFillAlpha));
    auto *protection = new QwtPlotCurve(tr("Характеристика защит"));
    protection->setPen(QPen(QColor(QStringLiteral("#0000FF"))));
    auto *rated = new QwtPlotCurve(tr("Номинальный ток"));
    rated->setPen(QPen(QColor(QStringLiteral("#FF0000"))));
    curves[StartCurve] = startCurve;
    curves[ProtectionCurve] = protection;
    curves[RatedCurve] = rated;
    for (QwtPlotCurve *c : curves)
        c->attach(this);
}

void RunConfigPlot::setProtectionSettings(const ProtectionSettings &settings)
{
    model.setSettings(settings);
    if (isBuilding())
        newerSettings = true;
}

void RunConfigPlot::setStartCharacteristic(const CurvePoints &points)
{
    start = points;
    curves[StartCurve]->setSamples(start.x, start.y);
    replot();
}

void RunConfigPlot::setCurrentAxisScale(CurrentAxis axis)
{
    logarithmic = axis == CurrentAxis::Logarithmic;
    if (logarithmic)
        setAxisScaleEngine(xBottom, new QwtLogScaleEngine(10));
    else
        setAxisScaleEngine(xBottom, new QwtLinearScaleEngine);
    if (curves[ProtectionCurve]->dataSize() > 0)
        fitCurrentAxis(logarithmic ? kLogCurrentAxisLow : 0.0);
    replot();
}

// From low to the largest current of the protection characteristic.
void RunConfigPlot::fitCurrentAxis(double low)
{
    const QwtPlotCurve *protection = curves[ProtectionCurve];
    const double high = protection->sample(int(protection->dataSize()) - 1).x();
    if (high > low) // a current scale of 0 puts every point at 0 A: nothing to fit
        setAxisScale(xBottom, low, high);
}

void RunConfigPlot::buildProtectionGraph(BuildMode mode)
{
    if (isBuilding())
        return;
    if (mode == BuildMode::Threaded)
        return startThreadedBuild();
    buildSettings = model.settings();
    buildScale = scale_;
    Worker(this, buildSettings, buildScale, nullptr).buildGraph(); // delivers by a direct call
}

void RunConfigPlot::startThreadedBuild()
{
    buildSettings = model.settings();
    buildScale = scale_;
    newerSettings = false;
    stopBuild = false;
    buildThread = std::make_unique<QThread>();
    worker = std::make_unique<Worker>(this, buildSettings, buildScale, &stopBuild);
    worker->moveToThread(buildThread.get());
    buildThread->start(QThread::InheritPriority);
    QMetaObject::invokeMethod(worker.get(), "buildGraph", Qt::QueuedConnection);
}

void RunConfigPlot::releaseThread()
{
    if (!buildThread)
        return;
    buildThread->quit();
    buildThread->wait(); // the worker has returned or is returning: a short wait
    worker.reset();
    buildThread.reset();
}

void RunConfigPlot::onBuildProtectionGraphFinished(QVector<double> x, QVector<double> y)
{
    releaseThread();
    if (newerSettings) { // what was just built is already out of date
        startThreadedBuild();
        return;
    }
    curves[ProtectionCurve]->setSamples(x, y);
    if (!x.isEmpty())
        fitCurrentAxis(logarithmic ? x.first() : 0.0);
    showRatedLine();
    replot();
    emit buildProtectionGraphFinished();
}

void RunConfigPlot::showRatedLine()
{
    const double rated = ProtectionCharacteristic::ratedCurrentAmps(buildSettings.ratedCurrent, buildScale);
    ratedLineX[0] = ratedLineX[1] = rated;
    const double times[2] = {kTimeAxisLow, kRatedLineTop};
    curves[RatedCurve]->setSamples(ratedLineX, times, 2);
}

QString RunConfigPlot::trackerText(const QPointF &position) const
{
    return tr("Ток: ") + QString::number(position.x(), 'g', 4) + tr(" А\nВремя: ")
        + QString::number(position.y(), 'g', 4) + tr(" с");
}
