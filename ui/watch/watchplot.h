#pragma once

#include "samplebuffer.h"

#include <qwt_plot.h>

class DecimatedCurve;
class Picker;
class QwtPlotItem;

// Live phase currents (left axis) and voltages (right axis) over the last plot
// interval; the legend items switch single curves on and off.
class WatchPlot : public QwtPlot
{
    Q_OBJECT
public:
    // Curve and column order: currents A, B, C, then voltages A, B, C.
    static constexpr int kPhases = 3;
    static constexpr int kCurves = 2 * kPhases;
    // Smallest upper ends of the axes.
    static constexpr double kMinCurrentTop = 10.0;
    static constexpr double kMinVoltageTop = 150.0;
    static constexpr int kDefaultInterval = 60; // seconds
    // Samples are kept this much longer than the interval shown.
    static constexpr int kTrimSlack = 5;

    explicit WatchPlot(QWidget *parent = nullptr);
    // For the report: the samples and settings of other, without parent.
    explicit WatchPlot(const WatchPlot &other);

    void restart();
    // Stamped with the current local clock.
    void addSample(const double currents[kPhases], const double voltages[kPhases]);
    void addSampleAt(quint32 secondsSince1970, const double currents[kPhases], const double voltages[kPhases]);

    void setInterval(int seconds) { windowSeconds = seconds; }
    int interval() const { return windowSeconds; }
    void setCurrentPrecision(bool on) { oneDecimal = on; }
    bool currentPrecision() const { return oneDecimal; }

    const SampleBuffer &samples() const { return buffer; }
    QwtPlotItem *curve(int index) const;
    // The tracker's text at a position in time-axis and left-axis coordinates.
    QString trackerText(const QPointF &position) const;

public slots:
    void showCurve(QwtPlotItem *item, bool on);

private slots:
    void onLegendChecked(const QVariant &itemInfo, bool on, int index);

private:
    void init();
    void setupAxes();
    void setupCurves();
    void scaleValueAxes(double currentMargin);
    void trim();
    void showWindow();
    void updateTitles();

    int windowSeconds = kDefaultInterval;
    bool oneDecimal = false;
    SampleBuffer buffer{kCurves};
    DecimatedCurve *curves[kCurves] = {};
    Picker *picker = nullptr;
};
