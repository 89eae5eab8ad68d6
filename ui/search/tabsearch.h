#pragma once

#include "exchange/protocoltiming.h"
#include "exchange/searchevent.h"
#include "ui/search/searchprogress.h"

#include <QElapsedTimer>

#include <QVector>
#include <QWidget>

#include <memory>

class DeviceModel;
class MainControl;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class SearchDialog;
class SearchEventFound;
class SearchThread;
class TableDevice;
struct DeviceInfo;

// Tab "Подключение": scans a port for devices, probes one address by hand,
// keeps the devices found in device_list.dat and connects to one of them.
class TabSearch : public QWidget
{
    Q_OBJECT
public:
    static constexpr const char *kDeviceListFile = "device_list.dat";

    explicit TabSearch(MainControl *main, QWidget *parent = nullptr);
    ~TabSearch() override;

    // The main window follows the connection with the "Отключиться" button.
    void setDisconnectEnabled(bool enabled);
    // Makes the port with this number current, if the selector has it.
    bool selectPort(int number);
    // The timing of the following searches (tests and the demo line shorten it).
    void setTiming(const ProtocolTiming &timing);

    const QVector<DeviceInfo> &devices() const;
    TableDevice *table() const { return tableDevice; }
    QPushButton *searchButton() const { return btnSearch; }
    // Created on first use.
    SearchThread *searchThread();

public slots:
    void onSetupChanged();
    void onBtnSearchClicked();
    void onBtnStopClicked();
    void onBtnAddClicked();
    void onBtnNetworkLineClicked();
    void onBtnConnectClicked();
    void onBtnDisconnectClicked();
    void onSearchEvent(SearchEventPtr event);
    void onSelectDevice(const DeviceInfo *device);

private:
    void setupLayout();
    QWidget *setupSidePanel();
    void nameWidgets();
    QWidget *setupPortSelector();
    QWidget *setupProgressBar();
    void showIdleProgress();
    void fillPortSelector();
    int firstFreePortNumber() const;
    void fillSpeedSelector();
    void connectSignals();
    void updatePortInfo();
    void loadDeviceList();
    void saveDeviceList() const;
    void configureThread(int portIndex, int speedIndex);
    void setIdleControlsEnabled(bool enabled);
    void onSearchStarted();
    void onSearchEnded(const QString &status);
    void onDeviceFound(const SearchEventFound &event);
    void react(const SearchEvent &event);
    // The events that carry nothing but their type.
    void onSearchState(SearchEvent::Type type);

    MainControl *mainControl;
    DeviceModel *deviceModel;
    TableDevice *tableDevice;
    QComboBox *portBox = nullptr;
    QLabel *portInfo = nullptr;
    QComboBox *speedBox = nullptr;
    QPushButton *btnSearch = nullptr;
    QPushButton *btnStop = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnNetworkLine = nullptr;
    QPushButton *btnConnect = nullptr;
    QPushButton *btnDisconnect = nullptr;
    QProgressBar *progress = nullptr;
    QLabel *progressText = nullptr; // probes done of the total and the time left
    SearchProgress pace;
    QElapsedTimer clock;
    bool scanning = false; // between the start of a scan (not a single probe) and its end
    std::unique_ptr<SearchThread> thread;
    std::unique_ptr<SearchDialog> dialog;
    int lastPortIndex = 0;
    int lastSpeedIndex = 0;
    ProtocolTiming timing;
};
