#pragma once

class QColor;
class QwtPlot;
class QwtPlotItem;
class QPointF;

// What the live and the temperature plot share: checkable legend, grid, time axis,
// and the reading of the right axis at a tracker position.
class PlotDecor
{
public:
    static void setupCanvas(QwtPlot *plot);
    // The background of every plot's canvas.
    static QColor canvasColor();
    static void addCheckableLegend(QwtPlot *plot);
    static void addGrid(QwtPlot *plot);
    // A new time scale draw and the axis' label layout; scale 0..100.
    static void resetTimeAxis(QwtPlot *plot);
    static void setLegendChecked(QwtPlot *plot, QwtPlotItem *item, bool on);
    static bool isLegendChecked(const QwtPlot *plot, QwtPlotItem *item);
    // Right-axis value at the height of a left-axis value.
    static double rightAxisValue(const QwtPlot *plot, double leftValue);
};
