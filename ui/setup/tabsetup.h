#pragma once

#include "dataeventlistener.h"

#include <QWidget>

class MainControl;

// Tab "Настройка": the device's protection settings. The window already enables it
// and hands it every data event; the editors are added by a later change.
class TabSetup : public QWidget, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabSetup(MainControl *main, QWidget *parent = nullptr);

    void onDataEvent(const DataEvent *event) override;

private:
    MainControl *mainControl;
};
