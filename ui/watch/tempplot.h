#pragma once

#include "samplebuffer.h"

#include <qwt_plot.h>

class DecimatedCurve;
class Picker;
class QwtPlotItem;

// PT100 temperature (left axis) and calculated heating (right axis) over the last
// plot interval. Never emptied: samples of successive connections follow each other.
class TempPlot : public QwtPlot
{
    Q_OBJECT
public:
    enum Column { Temperature = 0, Heating = 1, ColumnCount = 2 };
    // Smallest upper ends of the axes.
    static constexpr double kMinTemperatureTop = 100.0;
    static constexpr double kMinHeatingTop = 150.0;
    static constexpr int kDefaultInterval = 60; // seconds

    explicit TempPlot(QWidget *parent = nullptr);
    // For the report: the samples and interval of other, without parent.
    explicit TempPlot(const TempPlot &other);

    // Stamped with the current local clock.
    void addSample(double temperature, double heating);
    void addSampleAt(quint32 secondsSince1970, double temperature, double heating);

    void setInterval(int seconds) { windowSeconds = seconds; }
    int interval() const { return windowSeconds; }

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
    void restart();
    void setupAxes();
    void setupCurves();
    void scaleValueAxes(bool allowNegative);
    void trim();
    void showWindow();
    void updateTitles();

    int windowSeconds = kDefaultInterval;
    SampleBuffer buffer{ColumnCount};
    DecimatedCurve *curves[ColumnCount] = {};
    Picker *picker = nullptr;
};
