#pragma once

#include "plots/currentaxis.h"
#include "ui/dataeventlistener.h"

#include <QWidget>

class ConfigEvent;
class DataEvent;
class MainControl;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class RunConfigEventGet;
class RunConfigEventProgress;
class RunConfigPlot;

// Tab "Токо-временная характеристика": when and how completely the device recorded
// the motor's start, how far its data accumulation for auto-setup has come, the
// button that starts auto-setup, and the plot of the start against the protection.
class TabCharCurve : public QWidget, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabCharCurve(MainControl *main, QWidget *parent = nullptr);

    void onDataEvent(const DataEvent *event) override;
    // As the settings say: when the window starts and when the settings dialog is accepted.
    void setCurrentAxisScale(CurrentAxis axis);
    RunConfigPlot *plot() const { return runConfigPlot; }

public slots:
    void onBtnUpdatePlotClicked();
    void onBtnAutoSetupClicked();
    void onBuildProtectionGraphFinished();

private:
    QProgressBar *addBar(QGridLayout *grid, int row, const QString &title, const char *name);
    QPushButton *addButton(const QString &text, const char *name);
    void onConnected();
    void onConfig(const ConfigEvent &event);
    void onStartRecord(const RunConfigEventGet &event);
    void onProgress(const RunConfigEventProgress &event);

    MainControl *mainControl;
    QLabel *recordTime = nullptr;
    QProgressBar *completeness = nullptr;
    QProgressBar *accumulation = nullptr;
    QPushButton *btnAutoSetup = nullptr;
    QPushButton *btnUpdatePlot = nullptr;
    RunConfigPlot *runConfigPlot = nullptr;
};
