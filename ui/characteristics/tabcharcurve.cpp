#include "tabcharcurve.h"

TabCharCurve::TabCharCurve(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main)
{
}

void TabCharCurve::onDataEvent(const DataEvent *event)
{
    Q_UNUSED(event) // nothing to show until the plot exists
}
