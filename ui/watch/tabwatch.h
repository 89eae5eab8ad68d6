#pragma once

#include "dataeventlistener.h"

#include <QSplitter>

class MainControl;
class TempPlot;
class WatchPlot;

// Tab "Наблюдение и управление": the device state panel, motor commands, the live
// plots and the application protocol.
class TabWatch : public QSplitter, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabWatch(MainControl *main, QWidget *parent = nullptr);

    void onDataEvent(const DataEvent *event) override;
    // The main window calls it after every change of its protocol list.
    void protocolChanged();
    void setPlotInterval(int seconds);

    WatchPlot *watchPlot() const { return livePlot; }
    TempPlot *tempPlot() const { return temperaturePlot; }

private:
    MainControl *mainControl;
    WatchPlot *livePlot = nullptr;
    TempPlot *temperaturePlot = nullptr;
};
