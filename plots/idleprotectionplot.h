#pragma once

#include <qwt_plot.h>

class QwtPlotCurve;

// The idle-run protection's minimum current over the permitted voltage band, as the
// setup tab's editors define it: rated current, minimum current as a fraction of it,
// voltage tolerance index (0..3) and correction.
class IdleProtectionPlot : public QwtPlot
{
    Q_OBJECT
public:
    static constexpr double kNominalVoltage = 220.0;
    static constexpr int kToleranceCount = 4;

    IdleProtectionPlot(double ratedCurrent, double minCurrentFraction, int voltageTolerance, double correction,
                       QWidget *parent = nullptr);

    // The band's ends, volts, for a tolerance index (entries 0..3 of the voltage tolerance).
    static double lowerVoltage(int voltageTolerance);
    static double upperVoltage(int voltageTolerance);
    const QwtPlotCurve *curve() const { return line; }

private:
    void setupAxes();
    void setupItems();
    void draw(double ratedCurrent, double minCurrentFraction, int voltageTolerance, double correction);

    QwtPlotCurve *line = nullptr;
};
