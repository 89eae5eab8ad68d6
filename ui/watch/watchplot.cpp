#include "watchplot.h"

WatchPlot::WatchPlot(QWidget *parent) : QwtPlot(parent)
{
}
