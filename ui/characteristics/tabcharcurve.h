#pragma once

#include "dataeventlistener.h"

#include <QWidget>

class MainControl;

// Tab "Токо-временная характеристика": the start characteristic, the protection
// characteristic and auto-setup. The window already titles, enables and feeds it;
// the plots are added by a later change.
class TabCharCurve : public QWidget, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabCharCurve(MainControl *main, QWidget *parent = nullptr);

    void onDataEvent(const DataEvent *event) override;

private:
    MainControl *mainControl;
};
