#pragma once

#include "exchange/samplewindow.h"
#include "plots/samplebuffer.h"

#include <qwt_plot.h>

#include <vector>

class DecimatedCurve;
class Picker;
class QwtPlotItem;

// A plot of the samples of the last plot interval over a time axis, a value axis
// on each side and one curve per buffer column; the legend items switch single
// curves on and off. Subclasses give the axes, curves, titles and scaling rules.
class LivePlot : public QwtPlot
{
    Q_OBJECT
public:
    static constexpr int kDefaultInterval = SampleWindow::kDefaultInterval;

    void setInterval(int seconds) { windowSeconds = seconds; }
    int interval() const { return windowSeconds; }

    const SampleBuffer &samples() const { return buffer; }
    // For the report: samples with this plot's columns drawn once, the value axes
    // fitted to them without headroom; the interval ends at the newest.
    void showSamples(const SampleBuffer &samples);
    QwtPlotItem *curve(int index) const;
    // The tracker's text at a position in time-axis and left-axis coordinates.
    virtual QString trackerText(const QPointF &position) const = 0;

public slots:
    void showCurve(QwtPlotItem *item, bool on);

private slots:
    void onLegendChecked(const QVariant &itemInfo, bool on, int index);

protected:
    // The live scaling follows incoming samples; samples handed over whole are drawn once.
    enum class Scaling { Live, Copy };

    // Samples are kept trimSlack seconds longer than the interval shown. The
    // subclass constructor sets up the value axes and adds one curve per column.
    LivePlot(QWidget *parent, int columns, int trimSlack);

    void restart();
    void copySamples(const LivePlot &other);
    // values holds one value per column.
    void addValues(quint32 secondsSince1970, const double *values);
    static quint32 now();

    void setupValueAxes(const QString &left, double leftTop, const QString &right, double rightTop);
    // The curve of the next buffer column, zBelow steps under the first curve.
    void addCurve(const QString &title, const QColor &colour, int zBelow, int yAxis);

private:
    virtual void scaleValueAxes(Scaling scaling) = 0;
    virtual void updateTitles() = 0;

    void trim();
    void showWindow();

    const int trimSlack;
    int windowSeconds = kDefaultInterval;
    SampleBuffer buffer;
    std::vector<DecimatedCurve *> curves;
    Picker *picker = nullptr;
};
