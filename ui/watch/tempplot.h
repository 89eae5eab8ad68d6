#pragma once

#include <qwt_plot.h>

// PT100 temperature (left axis) and calculated heating (right axis) over the plot interval.
class TempPlot : public QwtPlot
{
    Q_OBJECT
public:
    explicit TempPlot(QWidget *parent = nullptr);
};
