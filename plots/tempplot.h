#pragma once

#include "plots/liveplot.h"

// PT100 temperature (left axis) and calculated heating (right axis) over the last
// plot interval. Reconnections to the same device follow each other in it; the
// watch tab empties it when another device connects.
class TempPlot : public LivePlot
{
    Q_OBJECT
public:
    enum Column { Temperature = 0, Heating = 1, ColumnCount = 2 };
    // Smallest upper ends of the axes.
    static constexpr double kMinTemperatureTop = 100.0;
    static constexpr double kMinHeatingTop = 150.0;

    explicit TempPlot(QWidget *parent = nullptr);
    // A still copy: the samples and interval of other, without parent.
    explicit TempPlot(const TempPlot &other);

    using LivePlot::restart;
    // Stamped with the current local clock.
    void addSample(double temperature, double heating);
    void addSampleAt(quint32 secondsSince1970, double temperature, double heating);

    QString trackerText(const QPointF &position) const override;

private:
    void scaleValueAxes(Scaling scaling) override;
    void updateTitles() override;
};
