#pragma once

#include <qwt_plot.h>

// Live phase currents (left axis) and voltages (right axis) over the plot interval.
class WatchPlot : public QwtPlot
{
    Q_OBJECT
public:
    explicit WatchPlot(QWidget *parent = nullptr);
};
