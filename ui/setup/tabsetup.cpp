#include "tabsetup.h"

TabSetup::TabSetup(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main)
{
}

void TabSetup::onDataEvent(const DataEvent *event)
{
    Q_UNUSED(event) // nothing to show until the editors exist
}
