#pragma once

#include "app/configwritecheck.h"
#include "device/protocollist.h"
#include "exchange/dataevent.h"
#include "exchange/protocoltiming.h"
#include "i18n/translation.h"
#include "ui/dataeventlistener.h"
#include "ui/maincontrol.h"

#include <QMainWindow>

#include <memory>

class ConfigEvent;
class CrashEventOscillogramGet;
class DataEventGetProtocol;
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
// code, the status bar with the link indicator, the connection and the application
// protocol. Every data event passes through it to the device tabs.
class MainWindow : public QMainWindow, public MainControl, public DataEventListener
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
    const ProtocolList &protocol() const override { return appProtocol; }

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
    DataThread *dataThread() const { return thread.get(); }
    // The connection's newest configuration block; null before the first.
    const ConfigPacket *configuration() const { return writeCheck.lastBlock(); }
    // Null until the monitor is first opened.
    TrafficMonitor *trafficMonitor() const { return monitor; }
    // Null until help is first asked for.
    HelpViewer *helpViewer() const { return help; }
    // The keys of the window: F1 help, Ctrl+P report, Ctrl+Q quit, F5 search.
    QAction *keyAction(const char *name) const;

public slots:
    // Reacts to an event of the current connection, then hands it to the device tabs.
    void onDataEvent(const DataEvent *event) override;
    // Events as the data exchange thread sends them: those of a connection that is
    // no longer the current one are dropped.
    void onThreadEvent(DataEventPtr event);
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
    void react(const DataEvent *event);
    void onConnected();
    void onDisconnected();
    void onConnectionError(int code);
    void onLinkRestored();
    void onConfigEvent(const ConfigEvent *event);
    void warn(const QString &objectName, const QString &text);
    void onOscillogram(const CrashEventOscillogramGet &event);
    void showResultStatus(const DataEvent &event);
    static QString failureText(const QString &failure, const DataEvent &event);
    void setIndicator(const QString &text, const QString &style);
    void setDeviceTabsEnabled(bool enabled);
    void discardThread(const QString &status);
    void addProtocolEntry(std::unique_ptr<ProtocolEvent> entry);
    void removeProtocolKind(int kind);
    void mergeProtocol(const DataEventGetProtocol &logs);
    void onLinkStatistics(const LinkStatisticsEvent &event);
    void onMonitorOpenChanged(bool open);
    void setupHistory();

    QTabWidget *tabWidget = nullptr;
    TabSearch *searchTab = nullptr;
    TabWatch *watchTab = nullptr;
    TabSetup *setupTab = nullptr;
    TabCharCurve *charCurveTab = nullptr;
    TabCrashCurve *crashCurveTab = nullptr;
    std::unique_ptr<DataThread> thread;
    QLabel *indicator = nullptr;
    ProtocolList appProtocol;
    QLineEdit *accessField = nullptr;
    QToolButton *btnReport = nullptr;
    ProtocolTiming timing;
    ConfigWriteCheck writeCheck;
    std::unique_ptr<ReportFlow> report;
    TrafficMonitor *monitor = nullptr; // a child window, made at its first opening
    HelpViewer *help = nullptr;        // likewise
    HistoryWindow *historyWindow = nullptr; // likewise
    // Every connection's samples, logs and oscillograms; without a usable file the
    // program goes on without history and says why.
    std::unique_ptr<HistoryRecorder> recorder;
};
