#pragma once

#include "dataeventlistener.h"

#include <QWidget>

class MainControl;

// Tab "Аварийная осциллограмма": the six channels recorded before the last trip.
// The window already titles, enables and feeds it; the plot is added by a later change.
class TabCrashCurve : public QWidget, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabCrashCurve(MainControl *main, QWidget *parent = nullptr);

    void onDataEvent(const DataEvent *event) override;

private:
    MainControl *mainControl;
};
