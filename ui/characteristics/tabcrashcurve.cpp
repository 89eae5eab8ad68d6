#include "tabcrashcurve.h"

TabCrashCurve::TabCrashCurve(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main)
{
}

void TabCrashCurve::onDataEvent(const DataEvent *event)
{
    Q_UNUSED(event) // nothing to show until the plot exists
}
