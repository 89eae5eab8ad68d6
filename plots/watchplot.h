#pragma once

#include "device/currentscale.h"
#include "plots/liveplot.h"

// Live phase currents in amperes (left axis) and voltages (right axis) over the last
// plot interval; the legend items switch single curves on and off.
class WatchPlot : public LivePlot
{
    Q_OBJECT
public:
    // Curve and column order: currents A, B, C, then voltages A, B, C.
    static constexpr int kPhases = 3;
    static constexpr int kCurves = 2 * kPhases;
    // Smallest upper ends of the axes.
    static constexpr double kMinCurrentTop = 10.0;
    static constexpr double kMinVoltageTop = 150.0;
    // Samples are kept this much longer than the interval shown.
    static constexpr int kTrimSlack = SampleWindow::kLiveSlack;

    explicit WatchPlot(QWidget *parent = nullptr);
    // A still copy: the samples and settings of other, without parent.
    explicit WatchPlot(const WatchPlot &other);

    using LivePlot::restart;
    // Currents in amperes; stamped with the current local clock.
    void addSample(const double currents[kPhases], const double voltages[kPhases]);
    void addSampleAt(quint32 secondsSince1970, const double currents[kPhases], const double voltages[kPhases]);

    // The connected device's scale gives the currents' resolution in the titles.
    void setCurrentScale(const CurrentScale &scale) { ampereScale = scale; }
    const CurrentScale &currentScale() const { return ampereScale; }

    QString trackerText(const QPointF &position) const override;

private:
    void scaleValueAxes(Scaling scaling) override;
    void updateTitles() override;

    CurrentScale ampereScale {1};
};
