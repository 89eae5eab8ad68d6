#pragma once

#include "exchange/configwritecheck.h"
#include "exchange/deviceconnection.h"
#include "exchange/protocoltiming.h"
#include "i18n/translation.h"
#include "plots/currentaxis.h"
#include "ui/maincontrol.h"

#include <QMainWindow>

#include <memory>

class ConfigEvent;
class CrashEventOscillogramGet;
class DataEvent;
class DataThread;
class HelpViewer;
class LinkStatisticsEvent;
class HistoryRecorder;
class HistoryWindow;
class QAction;
class QLabel;
class QLineEdit;
class QTabWidget;
class QToolButton;
class ReportFlow;
class TabCharCurve;
class TabCrashCurve;
class TabSearch;
class TabSetup;
class TabWatch;
class TrafficMonitor;

// The program's only top-level window: the five tabs, the toolbar with the access
// code, the status bar with the link indicator. It keeps the connection, tells the
// user what becomes of it, and passes its every event on to the device tabs.
class MainWindow : public QMainWindow, public MainControl
{
    Q_OBJECT
public:
    enum TabIndex { SearchTab = 0, WatchTab = 1, SetupTab = 2, CharCurveTab = 3, CrashCurveTab = 4 };
    static constexpr const char *kLastConnectionFile = "last_connection.dat";
    static QString applicationName();
    // The user guide the help button opens, from the program's directory: the build's
    // copy beside the program, else the installed one; in English the English guide
    // when there is one, else the Russian. Empty when there is none.
    static QString userGuide(const QString &programDir, Translation::Language language);

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void connectDevice(const DeviceInfo &device) override;
    void disconnectDevice() override;
    const DeviceInfo *currentDevice() const override;
    void showStatus(const QString &text, int durationMs) override;
    bool hasAccessCode() const override;
    void focusAccessCode() override;
    void requestReadConfig() override;
    bool requestWriteConfig(std::unique_ptr<ConfigPacket> configuration) override;
    void requestSetTime(quint32 secondsSince1970) override;
    void requestResetCrashProtocol() override;
    void requestResetWorkProtocol() override;
    void requestResetWorkTime() override;
    void requestEngineCommand(EngineCommand command) override;
    void requestToggleOutput() override;
    void requestAutoSetup() override;
    const ProtocolList &protocol() const override { return deviceConnection.protocol(); }
    const DeviceConnection &connection() const override { return deviceConnection; }

    // The access code as the device gets it: decimal, an empty or unreadable text is 0.
    quint16 accessCode() const;
    // Marks the window as working on the simulated line bound to COMn.
    void showDemoLine(int portNumber, int probeTimeoutMs);
    // The timing of the following connections and searches (tests shorten it).
    void setTiming(const ProtocolTiming &timing);

    QTabWidget *tabs() const { return tabWidget; }
    TabWatch *tabWatch() const { return watchTab; }
    TabSetup *tabSetup() const { return setupTab; }
    TabCharCurve *tabCharCurve() const { return charCurveTab; }
    TabCrashCurve *tabCrashCurve() const { return crashCurveTab; }
    QLabel *linkIndicator() const { return indicator; }
    QLineEdit *accessCodeField() const { return accessField; }
    QToolButton *reportButton() const { return btnReport; }
    DataThread *dataThread() const { return deviceConnection.dataThread(); }
    // As the settings say: when the window starts and when the settings dialog is accepted.
    CurrentAxis currentAxis() const { return axis; }
    // Null until the monitor is first opened.
    TrafficMonitor *trafficMonitor() const { return monitor; }
    // Null until help is first asked for.
    HelpViewer *helpViewer() const { return help; }
    // The keys of the window: F1 help, Ctrl+P report, Ctrl+Q quit, F5 search.
    QAction *keyAction(const char *name) const;

public slots:
    // Hands an event to the connection as one of its own: the window, then the
    // device tabs, react to it as it passes on.
    void onDataEvent(const DataEvent *event);
    void onPasswordEditingFinished();
    void onBtnCreateReport();
    void onBtnShowAppConfig();
    void onBtnShowHelp();
    // Opens the one traffic monitor window (not modal).
    void onBtnShowMonitor();
    // Opens the one history window (not modal) on the devices recorded so far.
    void onBtnShowHistory();
    // F5: the search tab's "Поиск", while that tab is shown and the button can be pressed.
    void onKeySearch();

protected:
    // Keeps the window's place, size and split for the next start (window.conf).
    void closeEvent(QCloseEvent *event) override;

private:
    void setupTabs();
    void setupConnection();
    void applyViewSettings();
    void setupToolBar();
    QWidget *setupAccessCodeField();
    void setupStatusBar();
    void setupKeyboard();
    QAction *addKeyAction(const char *name, const QKeySequence &keys);
    void setupExportNames();
    QString exportName(const QString &what) const;
    void applyLinkSettings();
    void takeAccessCode();
    void restoreWindowState();
    void saveWindowState() const;
    void autoConnect();
    void writeLastConnection() const;
    void updateTitle();
    void onConnectionEvent(const DataEvent *event);
    void react(const DataEvent *event);
    void onConnected();
    void onDisconnected();
    void onConnectionError(int code);
    void onLinkRestored();
    void onConfigurationChecked(ConfigWriteCheck::Outcome outcome, const ConfigEvent &event);
    void warn(const QString &objectName, const QString &text);
    void onOscillogram(const CrashEventOscillogramGet &event);
    void showResultStatus(const DataEvent &event);
    static QString failureText(const QString &failure, const DataEvent &event);
    void setIndicator(const QString &text, const QString &style);
    void setDeviceTabsEnabled(bool enabled);
    void onLinkStatistics(const LinkStatisticsEvent &event);
    void onMonitorOpenChanged(bool open);
    void setupHistory();

    QTabWidget *tabWidget = nullptr;
    TabSearch *searchTab = nullptr;
    TabWatch *watchTab = nullptr;
    TabSetup *setupTab = nullptr;
    TabCharCurve *charCurveTab = nullptr;
    TabCrashCurve *crashCurveTab = nullptr;
    // Made before the tabs, which read its protocol from the start.
    DeviceConnection deviceConnection;
    QLabel *indicator = nullptr;
    QLineEdit *accessField = nullptr;
    QToolButton *btnReport = nullptr;
    ProtocolTiming timing;
    CurrentAxis axis = CurrentAxis::Logarithmic;
    std::unique_ptr<ReportFlow> report;
    TrafficMonitor *monitor = nullptr; // a child window, made at its first opening
    HelpViewer *help = nullptr;        // likewise
    HistoryWindow *historyWindow = nullptr; // likewise
    // Every connection's samples, logs and oscillograms; without a usable file the
    // program goes on without history and says why.
    std::unique_ptr<HistoryRecorder> recorder;
};
