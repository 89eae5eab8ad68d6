#include "plots/plotdecor.h"

#include "plots/timescaledraw.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_scale_widget.h>

#include <QFontMetrics>

namespace {
QPen gridPen(Qt::GlobalColor color)
{
    return QPen(QBrush(color), 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
}

QwtLegendLabel *legendLabel(const QwtPlot *plot, QwtPlotItem *item)
{
    const auto *legend = qobject_cast<const QwtLegend *>(plot->legend());
    if (!legend)
        return nullptr;
    return qobject_cast<QwtLegendLabel *>(legend->legendWidget(plot->itemToInfo(item)));
}
} // namespace

QColor PlotDecor::canvasColor()
{
    return QColor(240, 241, 239);
}

void PlotDecor::setupCanvas(QwtPlot *plot)
{
    plot->setAutoReplot(false);
    plot->plotLayout()->setAlignCanvasToScales(true);
    plot->setCanvasBackground(canvasColor());
}

void PlotDecor::addCheckableLegend(QwtPlot *plot)
{
    auto *legend = new QwtLegend;
    legend->setDefaultItemMode(QwtLegendData::Checkable);
    plot->insertLegend(legend, QwtPlot::RightLegend);
}

void PlotDecor::addGrid(QwtPlot *plot)
{
    auto *grid = new QwtPlotGrid;
    grid->enableX(true);
    grid->enableY(true);
    grid->enableXMin(false);
    grid->enableYMin(true);
    grid->setMajorPen(gridPen(Qt::blue));
    grid->setMinorPen(gridPen(Qt::gray));
    grid->attach(plot);
}

void PlotDecor::resetTimeAxis(QwtPlot *plot)
{
    const QFont font(QStringLiteral("Arial"), 8);
    plot->setAxisScaleDraw(QwtPlot::xBottom, new TimeScaleDraw);
    plot->setAxisLabelRotation(QwtPlot::xBottom, 0.0);
    plot->setAxisFont(QwtPlot::xBottom, font);
    plot->setAxisLabelAlignment(QwtPlot::xBottom, Qt::AlignHCenter | Qt::AlignBottom);
    plot->axisWidget(QwtPlot::xBottom)->setMinBorderDist(0, QFontMetrics(font).height() / 2);
    plot->setAxisScale(QwtPlot::xBottom, 0.0, 100.0);
}

void PlotDecor::setLegendChecked(QwtPlot *plot, QwtPlotItem *item, bool on)
{
    if (QwtLegendLabel *label = legendLabel(plot, item))
        label->setChecked(on);
}

bool PlotDecor::isLegendChecked(const QwtPlot *plot, QwtPlotItem *item)
{
    const QwtLegendLabel *label = legendLabel(plot, item);
    return label && label->isChecked();
}

double PlotDecor::rightAxisValue(const QwtPlot *plot, double leftValue)
{
    const double pixel = plot->canvasMap(QwtPlot::yLeft).transform(leftValue);
    return plot->canvasMap(QwtPlot::yRight).invTransform(pixel);
}
