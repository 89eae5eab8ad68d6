#include "tabwatch.h"

#include "tempplot.h"
#include "watchplot.h"

#include <QVBoxLayout>

TabWatch::TabWatch(MainControl *main, QWidget *parent)
    : QSplitter(Qt::Vertical, parent), mainControl(main)
{
    auto *upper = new QWidget(this);
    auto *plots = new QVBoxLayout(upper);
    livePlot = new WatchPlot(upper);
    temperaturePlot = new TempPlot(upper);
    plots->addWidget(livePlot);
    plots->addWidget(temperaturePlot);
    addWidget(upper);
}

void TabWatch::onDataEvent(const DataEvent *event)
{
    Q_UNUSED(event)
}

void TabWatch::protocolChanged()
{
}

void TabWatch::setPlotInterval(int seconds)
{
    Q_UNUSED(seconds)
}
