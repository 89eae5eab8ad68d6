#pragma once

#include <qwt_plot.h>

#include <QVector>

class CrashOscillogramPacket;
class QwtPlotCurve;
class QwtPlotItem;

// The crash oscillogram: phase currents (left axis) and voltages (right axis) over
// the 26.7 ms before the trip. Each curve starts with an anchor point outside the
// time axis, so that the value axes, symmetric about 0, are never narrower than
// ± the anchor (the device's lowest rated current), even for a flat record.
class CrashPlot : public QwtPlot
{
    Q_OBJECT
public:
    // Curve order: currents A, B, C, then voltages A, B, C, as the block's channels.
    static constexpr int kCurves = 6;
    static constexpr double kAnchorTimeMs = -30.0;

    explicit CrashPlot(QWidget *parent = nullptr);
    // A still copy: the times, values and anchor of other, without parent.
    explicit CrashPlot(const CrashPlot &other);

    void setData(const CrashOscillogramPacket &oscillogram);
    // Taken by the next setData; 0 until a device is connected.
    void setAnchorValue(double value) { anchor = value; }
    double anchorValue() const { return anchor; }
    QwtPlotCurve *curve(int index) const;
    QString trackerText(const QPointF &position) const;

public slots:
    void showCurve(QwtPlotItem *item, bool on);

private slots:
    void onLegendChecked(const QVariant &itemInfo, bool on, int index);

private:
    void setupAxes();
    void setupCurves();
    void setupTimes();
    void showValues();

    QVector<double> times;
    QVector<double> values[kCurves];
    QwtPlotCurve *curves[kCurves] = {};
    double anchor = 0.0;
};
