#pragma once

#include "device/currentscale.h"
#include "device/deviceinfo.h"
#include "ui/dataeventlistener.h"

#include <QDateTime>
#include <QHash>
#include <QSplitter>

#include <optional>

class ConfigPacket;
class MainControl;
class QGridLayout;
class QLabel;
class QPushButton;
class TableProtocol;
class TempPlot;
class WatchDataPacket;
class WatchPlot;

// Tab "Наблюдение и управление": the device state panel with the motor commands,
// the live plots, and the application protocol below them, split three ways.
class TabWatch : public QSplitter, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabWatch(MainControl *main, QWidget *parent = nullptr);

    void onDataEvent(const DataEvent *event) override;
    // The main window calls it after every change of its protocol list.
    void protocolChanged();
    // Applied to both plots at once; until then they show LivePlot::kDefaultInterval.
    void setPlotInterval(int seconds);
    // The heights of the state panel, the plots and the protocol as the user left them;
    // false, changing nothing, unless there is one positive height per part.
    bool setSplit(const QList<int> &heights);
    // The heights now; before the tab was first shown, those given, or none.
    QList<int> split() const;

    WatchPlot *watchPlot() const { return livePlot; }
    TempPlot *tempPlot() const { return temperaturePlot; }
    TableProtocol *protocolTable() const { return table; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onBtnEngineCommandClicked();
    void onBtnAppendOutClicked();

private:
    void setupStatePanel(QGridLayout *upper);
    void setupOutputsGrid(QGridLayout *panel);
    void nameStateWidgets();
    void setupCounters(QGridLayout *upper);
    QWidget *setupPlots();
    QList<int> defaultSplit() const;
    QLabel *panelLabel(const QString &text, QWidget *parent);
    QPushButton *panelButton(const QString &text, QWidget *parent);

    void onConnected();
    void keepOrClearTemperatures(const DeviceInfo *device);
    // While the link is down the panel keeps the last values, greyed, under the time
    // of the last good reading; the next reading makes it live again.
    void showStale(bool on);
    // Every style of a state label goes through here, so a stale panel stays grey.
    void setLabelStyle(QLabel *label, const QString &style);
    void allowCommand(QPushButton *button, bool allowed);
    void onConfiguration(const ConfigPacket &config);
    void showState(const WatchDataPacket &packet);
    void showAlarm(const WatchDataPacket &packet);
    void showInputs(const WatchDataPacket &packet);
    void showInput2(const WatchDataPacket &packet);
    void showOutputs(const WatchDataPacket &packet);
    void showSensors(const WatchDataPacket &packet);
    void addPlotSamples(const WatchDataPacket &packet);
    void showCounters(const WatchDataPacket &packet);
    void showControls(const WatchDataPacket &packet);
    // The connected device's modification; 0 while none.
    int deviceVersion() const;
    // The connected device's counts per ampere; 0 while none.
    CurrentScale ampereScale() const;

    MainControl *mainControl;

    QLabel *alarmLabel = nullptr;
    QLabel *ptcLabel = nullptr;
    QLabel *motorLabel = nullptr;
    QLabel *input1Label = nullptr;
    QLabel *input2Label = nullptr;
    QLabel *powerOutLabel = nullptr;
    QLabel *auxOutLabel = nullptr;
    QLabel *pt100Label = nullptr;
    QPushButton *forwardButton = nullptr;
    QPushButton *backwardButton = nullptr;
    QPushButton *stopButton = nullptr;
    QPushButton *auxOutButton = nullptr;
    QLabel *hoursLabel = nullptr;
    QLabel *startsLabel = nullptr;
    QLabel *deviceTimeLabel = nullptr;
    QLabel *linkLostLabel = nullptr;
    TableProtocol *table = nullptr;
    WatchPlot *livePlot = nullptr;
    TempPlot *temperaturePlot = nullptr;

    // The style each state label has while the link is up.
    QHash<QLabel *, QString> liveStyles;
    bool stale = false;
    // What the device's state allows each command button, link or not.
    QHash<QPushButton *, bool> commandsAllowed;
    QDateTime lastReading; // local clock of the last monitoring block shown
    // The device the temperature plot holds.
    std::optional<DeviceInfo> plottedDevice;

    bool shownOnce = false;
    QList<int> firstSplit; // applied when the tab is first shown
    bool splitChosen = false; // restored or moved by the user: no longer the default

    // From the last configuration event.
    int input1Function = 0;
    int input2Function = 0;
    bool humidityProtection = false;
    bool pt100Protection = false;
    bool ptcProtection = false;
    bool remoteControl = false;
};
