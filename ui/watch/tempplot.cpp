#include "tempplot.h"

TempPlot::TempPlot(QWidget *parent) : QwtPlot(parent)
{
}
