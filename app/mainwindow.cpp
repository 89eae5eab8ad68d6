#include "app/mainwindow.h"

#include "app/configdialog.h"
#include "app/helpviewer.h"
#include "app/reportflow.h"
#include "app/windowstate.h"
#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "exchange/configevent.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventerror.h"
#include "exchange/datathread.h"
#include "exchange/eventdispatch.h"
#include "exchange/linkstatisticsevent.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "plots/runconfigplot.h"
#include "plots/tempplot.h"
#include "plots/watchplot.h"
#include "storage/appsettings.h"
#include "storage/configbackup.h"
#include "storage/datadirectory.h"
#include "storage/devicerecordfile.h"
#include "storage/portmap.h"
#include "ui/characteristics/tabcharcurve.h"
#include "ui/characteristics/tabcrashcurve.h"
#include "ui/history/historywindow.h"
#include "ui/mnemonics.h"
#include "ui/monitor/linkstatisticstext.h"
#include "ui/monitor/trafficmonitor.h"
#include "ui/plotexport.h"
#include "ui/savefolder.h"
#include "ui/search/tabsearch.h"
#include "ui/setup/tabsetup.h"
#include "ui/styles.h"
#include "ui/watch/tabwatch.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

Q_LOGGING_CATEGORY(lcWindow, "orbix.window", QtWarningMsg)

namespace {
// The settings file keeps the axis as a number; anything but logarithmic is linear.
CurrentAxis currentAxisOf(const AppSettings &settings)
{
    return settings.currentAxisScale == AppSettings::kLogarithmicAxis ? CurrentAxis::Logarithmic : CurrentAxis::Linear;
}

// Durations of status messages: results of requests and changes of the connection.
constexpr int kResultStatusMs = 5000;
constexpr int kConnectionStatusMs = 10000;
constexpr int kAccessCodeDigits = 4;       // the device takes codes 0..9999
constexpr int kAccessFieldWidth = 50;
// The guide's places from the program's directory: its copy made at build time beside
// the program, then the one installed from bin/.
constexpr const char *kHelpDirs[] = {"", "../share/doc/orbix-service/docs/"};
constexpr const char *kHelpFile = "user-guide.md";
constexpr const char *kEnglishHelpFile = "user-guide.en.md";
} // namespace

// The images live in a static library: their registration must be asked for.
static void initResources()
{
    Q_INIT_RESOURCE(img);
}

QString MainWindow::applicationName()
{
    return QStringLiteral("ОРБИКС-Сервис 11");
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), report(std::make_unique<ReportFlow>(*this))
{
    initResources();
    setObjectName(QStringLiteral("mainWindow"));
    setWindowIcon(QIcon(QStringLiteral(":/img/icon.ico")));
    AppSettings::instance().load();
    setupHistory();
    setupTabs();
    setupConnection();
    setupToolBar();
    setupStatusBar();
    setupKeyboard();
    setupExportNames();
    restoreWindowState();
    applyLinkSettings();
    updateTitle();
    autoConnect();
}

MainWindow::~MainWindow()
{
    writeLastConnection();
    disconnectDevice();
    delete monitor; // while the window can still hear that it closes
    monitor = nullptr;
    AppSettings::instance().save();
    delete tabWidget; // the search tab saves its device list on the way
    tabWidget = nullptr;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveWindowState(); // while the window still has the place the user gave it
    QMainWindow::closeEvent(event);
}

void MainWindow::restoreWindowState()
{
    const WindowState state = WindowState::load(DataDirectory::filePath(QLatin1String(WindowState::kFileName)));
    // The screen the window was on, if it is still there.
    QScreen *screen = state.geometry.isValid() ? QGuiApplication::screenAt(state.geometry.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(state.placement(screen->availableGeometry(), minimumSizeHint()));
    if (state.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    watchTab->setSplit(state.watchSplit);
}

void MainWindow::saveWindowState() const
{
    WindowState state;
    state.geometry = normalGeometry();
    state.maximized = isMaximized();
    state.watchSplit = watchTab->split();
    const QString path = DataDirectory::writableFilePath(QLatin1String(WindowState::kFileName));
    if (!state.save(path)) // the old file is kept: the next start opens as this one did
        QMessageBox::warning(window(), tr("Положение окна"),
                             tr("Не удалось записать файл %1: положение и размер окна не сохранены.").arg(path));
}

void MainWindow::setupTabs()
{
    tabWidget = new QTabWidget(this);
    tabWidget->setObjectName(QStringLiteral("tabs"));
    tabWidget->tabBar()->setObjectName(QStringLiteral("tabBar")); // the window tests click its tabs
    setCentralWidget(tabWidget);
    searchTab = new TabSearch(this, tabWidget);
    watchTab = new TabWatch(this, tabWidget);
    setupTab = new TabSetup(this, tabWidget);
    charCurveTab = new TabCharCurve(this, tabWidget);
    crashCurveTab = new TabCrashCurve(this, tabWidget);
    tabWidget->addTab(searchTab, tr("Подключение"));
    tabWidget->addTab(watchTab, tr("Наблюдение и управление"));
    tabWidget->addTab(setupTab, tr("Настройка"));
    tabWidget->addTab(charCurveTab, tr("Токо-временная характеристика"));
    tabWidget->addTab(crashCurveTab, tr("Аварийная осциллограмма"));
    setDeviceTabsEnabled(false);
    applyViewSettings();
}

// The window reacts to each event first, then the device tabs in their order.
void MainWindow::setupConnection()
{
    connect(&deviceConnection, &DeviceConnection::dataEvent, this, &MainWindow::onConnectionEvent);
    connect(&deviceConnection, &DeviceConnection::configurationChecked, this, &MainWindow::onConfigurationChecked);
    connect(&deviceConnection, &DeviceConnection::protocolChanged, watchTab, &TabWatch::protocolChanged);
    connect(&deviceConnection, &DeviceConnection::exchangeStarting, this, [this](DataThread *thread) {
        if (recorder->recording())
            recorder->attach(*thread, QStringLiteral("COM%1").arg(thread->device().portNumber));
    });
}

// The plot interval and the current axis as the settings have them, for the tabs and the report.
void MainWindow::applyViewSettings()
{
    const AppSettings &settings = AppSettings::instance();
    watchTab->setPlotInterval(settings.plotInterval);
    deviceConnection.setPlotInterval(settings.plotInterval);
    axis = currentAxisOf(settings);
    charCurveTab->setCurrentAxisScale(axis);
}

void MainWindow::setupToolBar()
{
    QToolBar *bar = addToolBar(tr("Панель инструментов"));
    bar->setOrientation(Qt::Horizontal);
    btnReport = new QToolButton(bar);
    btnReport->setObjectName(QStringLiteral("reportButton"));
    btnReport->setIcon(QIcon(QStringLiteral(":/img/report.png")));
    btnReport->setToolTip(tr("Сгенерировать отчёт"));
    btnReport->setEnabled(false);
    auto *btnConfig = new QToolButton(bar);
    btnConfig->setIcon(QIcon(QStringLiteral(":/img/service_manager.png")));
    btnConfig->setToolTip(tr("Настройки программы"));
    auto *btnHelp = new QToolButton(bar);
    btnHelp->setObjectName(QStringLiteral("helpButton"));
    btnHelp->setIcon(QIcon(QStringLiteral(":/img/help.png")));
    btnHelp->setToolTip(tr("Помощь"));
    auto *btnMonitor = new QToolButton(bar);
    btnMonitor->setObjectName(QStringLiteral("trafficMonitorButton"));
    btnMonitor->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    btnMonitor->setToolTip(tr("Монитор обмена"));
    auto *btnHistory = new QToolButton(bar);
    btnHistory->setObjectName(QStringLiteral("historyButton"));
    btnHistory->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    btnHistory->setToolTip(tr("История"));
    for (QWidget *w : {static_cast<QWidget *>(btnReport), static_cast<QWidget *>(btnConfig),
                       static_cast<QWidget *>(btnHelp), static_cast<QWidget *>(btnMonitor),
                       static_cast<QWidget *>(btnHistory), setupAccessCodeField()})
        bar->addWidget(w);
    connect(btnReport, &QToolButton::clicked, this, &MainWindow::onBtnCreateReport);
    connect(btnConfig, &QToolButton::clicked, this, &MainWindow::onBtnShowAppConfig);
    connect(btnHelp, &QToolButton::clicked, this, &MainWindow::onBtnShowHelp);
    connect(btnMonitor, &QToolButton::clicked, this, &MainWindow::onBtnShowMonitor);
    connect(btnHistory, &QToolButton::clicked, this, &MainWindow::onBtnShowHistory);
}

QWidget *MainWindow::setupAccessCodeField()
{
    auto *box = new QWidget(this);
    auto *row = new QHBoxLayout(box);
    row->addStretch();
    row->addWidget(new QLabel(tr("Код доступа: "), box));
    accessField = new QLineEdit(box);
    accessField->setObjectName(QStringLiteral("accessCodeField"));
    accessField->setEchoMode(QLineEdit::Password);
    accessField->setValidator(new QIntValidator(0, 9999, accessField));
    accessField->setMaxLength(kAccessCodeDigits);
    accessField->setFixedWidth(kAccessFieldWidth);
    accessField->setEnabled(false);
    row->addWidget(accessField);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(accessField, &QLineEdit::editingFinished, this, &MainWindow::onPasswordEditingFinished);
    return box;
}

void MainWindow::setupStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    indicator = new QLabel(QStringLiteral("-"), this);
    indicator->setObjectName(QStringLiteral("linkIndicator"));
    indicator->setAlignment(Qt::AlignCenter);
    statusBar()->addPermanentWidget(indicator);
}

void MainWindow::showDemoLine(int portNumber, int probeTimeoutMs)
{
    auto *demo = new QLabel(tr("Имитатор линии: COM%1").arg(portNumber), this);
    demo->setStyleSheet(Styles::yellow());
    statusBar()->insertPermanentWidget(0, demo);
    searchTab->selectPort(portNumber);
    ProtocolTiming demoTiming = timing;
    demoTiming.probeTimeoutMs = probeTimeoutMs;
    setTiming(demoTiming);
}

void MainWindow::setTiming(const ProtocolTiming &t)
{
    timing = t;
    searchTab->setTiming(t);
}

// How replies end and the pause before requests, as the settings have them.
void MainWindow::applyLinkSettings()
{
    const AppSettings &settings = AppSettings::instance();
    ProtocolTiming t = timing;
    t.framing = settings.replyFraming == AppSettings::Framing::Gap ? ModbusPort::Framing::Gap
                                                                  : ModbusPort::Framing::Length;
    t.extraPauseMs = settings.extraPauseMs;
    t.networkAllowanceMs = settings.networkAllowanceMs;
    setTiming(t);
}

void MainWindow::autoConnect()
{
    if (!AppSettings::instance().autoConnect)
        return;
    // Each connect replaces the previous one: the last complete record wins.
    for (const DeviceInfo &device : DeviceRecordFile::load(DataDirectory::filePath(QLatin1String(kLastConnectionFile))))
        connectDevice(device);
}

void MainWindow::writeLastConnection() const
{
    QVector<DeviceInfo> records;
    if (const DeviceInfo *device = deviceConnection.device())
        records.append(*device);
    if (!DeviceRecordFile::save(DataDirectory::writableFilePath(QLatin1String(kLastConnectionFile)), records))
        qCWarning(lcWindow) << "last connection not written";
}

void MainWindow::updateTitle()
{
    if (!deviceConnection.device()) {
        setWindowTitle(applicationName());
        return;
    }
    const DeviceInfo &d = *deviceConnection.device();
    setWindowTitle(applicationName() + QStringLiteral(" [ОРБИКС-11 ") + QString::number(d.minRatedCurrent, 'g', 6)
                   + QLatin1Char('-') + QString::number(d.maxRatedCurrent, 'g', 6) + QStringLiteral(" v")
                   + QString::number(d.modification * 0.01, 'f', 2) + QStringLiteral(" / ")
                   + QString::number(d.address) + QStringLiteral(" / COM") + QString::number(d.portNumber)
                   + QLatin1Char(']'));
}

void MainWindow::connectDevice(const DeviceInfo &device)
{
    disconnectDevice();
    // The COM number is resolved here, in the interface thread: the thread only opens the path.
    const PortMap ports = PortMap::system();
    deviceConnection.setTrafficEvents(monitor && monitor->isVisible());
    deviceConnection.open(device, ports.devicePath(device.portNumber), ports.lineOptions(device.portNumber), timing);
}

void MainWindow::disconnectDevice()
{
    if (!deviceConnection.device())
        return;
    deviceConnection.close(); // reports code 2 here, before it returns
    updateTitle();
}

const DeviceInfo *MainWindow::currentDevice() const
{
    return deviceConnection.device();
}

void MainWindow::showStatus(const QString &text, int durationMs)
{
    statusBar()->showMessage(text, durationMs);
}

bool MainWindow::hasAccessCode() const
{
    return !accessField->text().isEmpty();
}

void MainWindow::focusAccessCode()
{
    accessField->setFocus();
}

quint16 MainWindow::accessCode() const
{
    return quint16(accessField->text().toUInt()); // "" and junk read as 0
}

void MainWindow::onPasswordEditingFinished()
{
    deviceConnection.setAccessCode(accessCode());
}

// A command given by its Alt letter leaves the field still being edited: the code
// goes with the command as the field shows it then, not as its last editing left it.
void MainWindow::takeAccessCode()
{
    onPasswordEditingFinished();
}

void MainWindow::requestReadConfig()
{
    if (!currentDevice())
        return;
    showStatus(tr("Чтение настроек..."), kResultStatusMs);
    deviceConnection.requestReadConfig();
}

bool MainWindow::requestWriteConfig(std::unique_ptr<ConfigPacket> configuration)
{
    const DeviceInfo *device = currentDevice();
    if (!device)
        return false;
    QString path;
    QString error;
    // No write without a copy of what the device held before it.
    if (!ConfigBackup::saveBeforeWrite(deviceConnection.configuration(), *device, deviceConnection.devicePath(), path,
                                       error)) {
        const QString text = tr("Запись настроек не начата: %1").arg(error);
        showStatus(text, 0);
        warn(QStringLiteral("backupWarning"), text);
        return false;
    }
    showStatus(tr("Запись настроек..."), kResultStatusMs);
    takeAccessCode();
    // One write at a time: a second block while one is pending is handed back.
    if (deviceConnection.requestWriteConfig(std::move(configuration))) {
        showStatus(tr("Запись настроек не начата: предыдущая запись ещё не закончена"), kResultStatusMs);
        return false;
    }
    return true;
}

void MainWindow::requestSetTime(quint32 secondsSince1970)
{
    if (!currentDevice())
        return;
    takeAccessCode();
    showStatus(tr("Настройка времени..."), kResultStatusMs);
    deviceConnection.requestSetTime(secondsSince1970);
}

void MainWindow::requestResetCrashProtocol()
{
    if (!currentDevice())
        return;
    takeAccessCode();
    showStatus(tr("Очистка протокола аварий..."), kResultStatusMs);
    deviceConnection.requestResetCrashProtocol();
}

void MainWindow::requestResetWorkProtocol()
{
    if (!currentDevice())
        return;
    takeAccessCode();
    showStatus(tr("Очистка протокола работы двигателя..."), kResultStatusMs);
    deviceConnection.requestResetWorkProtocol();
}

void MainWindow::requestResetWorkTime()
{
    if (!currentDevice())
        return;
    takeAccessCode();
    showStatus(tr("Сброс наработки двигателя..."), kResultStatusMs);
    deviceConnection.requestResetWorkTime();
}

void MainWindow::requestEngineCommand(EngineCommand command)
{
    deviceConnection.requestEngineCommand(command); // its entry in the protocol too
}

void MainWindow::requestToggleOutput()
{
    deviceConnection.requestToggleOutput();
}

void MainWindow::requestAutoSetup()
{
    if (!currentDevice())
        return;
    takeAccessCode();
    deviceConnection.requestAutoSetup();
}

void MainWindow::onDataEvent(const DataEvent *event)
{
    deviceConnection.take(*event);
}

void MainWindow::onConnectionEvent(const DataEvent *event)
{
    react(event);
    for (DataEventListener *tab : std::initializer_list<DataEventListener *> {watchTab, setupTab, charCurveTab, crashCurveTab})
        tab->onDataEvent(event);
}

// The configuration's outcome comes through onConfigurationChecked, the protocol's
// changes through the connection's protocolChanged.
void MainWindow::react(const DataEvent *event)
{
    EventDispatch::visit(*event, EventHandlers {
        [this](const DataEventError &e) { onConnectionError(e.error()); },
        [this](const CrashEventOscillogramGet &e) { onOscillogram(e); },
        [this](const TrafficEvent &e) {
            if (monitor)
                monitor->onDataEvent(&e);
        },
        [this](const LinkStatisticsEvent &e) { onLinkStatistics(e); },
        [this](const DataEvent &e) {
            switch (e.type()) {
            case DataEvent::Connected: return onConnected();
            case DataEvent::Disconnected: return onDisconnected();
            case DataEvent::LinkRestored: return onLinkRestored();
            default: return showResultStatus(e);
            }
        }});
}

void MainWindow::onConnected()
{
    for (int i : {WatchTab, SetupTab, CharCurveTab}) // the oscillogram tab follows code 17
        tabWidget->setTabEnabled(i, true);
    tabWidget->setCurrentIndex(WatchTab);
    setIndicator(tr("Подключение", "link indicator"), Styles::green());
    showStatus(tr("Соединение установлено"), kConnectionStatusMs);
    searchTab->setDisconnectEnabled(true);
    accessField->setEnabled(true);
    btnReport->setEnabled(true);
    updateTitle();
}

void MainWindow::onDisconnected()
{
    setDeviceTabsEnabled(false);
    tabWidget->setCurrentIndex(SearchTab);
    setIndicator(QStringLiteral("-"), QString());
    indicator->setToolTip(QString());
    showStatus(tr("Соединение разорвано"), kConnectionStatusMs);
    searchTab->setDisconnectEnabled(false);
    accessField->clear();
    accessField->setEnabled(false);
    btnReport->setEnabled(false);
}

// The runs that end at their start have left the connection without a thread already.
void MainWindow::onConnectionError(int code)
{
    switch (code) {
    case DataEventError::PortNotOpened:
        return showStatus(tr("Ошибка соединения: невозможно открыть порт!"), 0);
    case DataEventError::IdentificationUnreadable:
        return showStatus(tr("Не удалось подключиться к устройству"), 0);
    case DataEventError::IdentificationMismatch:
        return showStatus(tr("Модификация устройства не соответствует ожидаемой"), 0);
    case DataEventError::LinkLost:
        showStatus(tr("Соединение потеряно"), 0);
        setIndicator(tr("Нет связи"), Styles::red());
        return;
    }
}

void MainWindow::onLinkRestored()
{
    showStatus(tr("Соединение восстановлено"), kConnectionStatusMs);
    setIndicator(tr("Подключение", "link indicator"), Styles::green());
}

void MainWindow::onConfigurationChecked(ConfigWriteCheck::Outcome outcome, const ConfigEvent &event)
{
    switch (outcome) {
    case ConfigWriteCheck::Outcome::Read:
        return showStatus(tr("Настройки получены"), kResultStatusMs);
    case ConfigWriteCheck::Outcome::NotWritten:
        return showStatus(failureText(tr("Ошибка записи настроек"), event), 0);
    case ConfigWriteCheck::Outcome::Written: // the connection reads it back; "Настройки записаны" stays
        return showStatus(tr("Настройки записаны"), kResultStatusMs);
    case ConfigWriteCheck::Outcome::Differs: {
        const QString text = tr("Устройство хранит не те значения, что записаны:\n")
            + deviceConnection.configurationCheck().differences().join(QLatin1Char('\n'));
        showStatus(tr("Устройство хранит не те значения, что записаны"), 0);
        return warn(QStringLiteral("readBackWarning"), text);
    }
    case ConfigWriteCheck::Outcome::RereadAfterFailure: // the failure's status stays
    case ConfigWriteCheck::Outcome::Confirmed:
        return;
    }
}

// Not modal to the event flow: the warning waits while the connection goes on.
void MainWindow::warn(const QString &objectName, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Настройка"), text, QMessageBox::Ok, this);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::onOscillogram(const CrashEventOscillogramGet &event)
{
    const CrashOscillogramPacket *block = event.packet();
    tabWidget->setTabEnabled(CrashCurveTab, block && block->faultCode() != 0);
}

// The results of one-shot requests: a status message (the cleared logs' entries have
// left the protocol on the way).
void MainWindow::showResultStatus(const DataEvent &event)
{
    const auto failed = [this, &event](const QString &text) { showStatus(failureText(text, event), kResultStatusMs); };
    switch (event.type()) {
    case DataEvent::ClockSet: showStatus(tr("Время настроено"), kResultStatusMs); break;
    case DataEvent::ClockNotSet: failed(tr("Не удалось настроить время")); break;
    case DataEvent::CrashProtocolReset: showStatus(tr("Протокол аварий сброшен"), kResultStatusMs); break;
    case DataEvent::CrashProtocolNotReset: failed(tr("Ошибка сброса протокола аварий")); break;
    case DataEvent::WorkProtocolReset: showStatus(tr("Протокол работы двигателя сброшен"), kResultStatusMs); break;
    case DataEvent::WorkProtocolNotReset: failed(tr("Ошибка сброса протокола работы двигателя")); break;
    case DataEvent::WorkTimeReset: showStatus(tr("Наработка двигателя сброшена"), kResultStatusMs); break;
    case DataEvent::WorkTimeNotReset: failed(tr("Ошибка сброса наработки двигателя")); break;
    default: break; // 0, 15, 16, 18 and above concern the tabs only
    }
}

// A refusal is the device's answer, not the line's fault: the code typed is the likely cause.
QString MainWindow::failureText(const QString &failure, const DataEvent &event)
{
    if (!event.refused())
        return failure;
    return failure + tr(": устройство отказало в операции, возможно, неверный код доступа");
}

void MainWindow::setIndicator(const QString &text, const QString &style)
{
    indicator->setText(text);
    indicator->setStyleSheet(style);
}

void MainWindow::setDeviceTabsEnabled(bool enabled)
{
    for (int i = WatchTab; i <= CrashCurveTab; ++i)
        tabWidget->setTabEnabled(i, enabled);
}

void MainWindow::onLinkStatistics(const LinkStatisticsEvent &event)
{
    indicator->setToolTip(LinkStatisticsText::toolTip(event.statistics()));
    if (monitor)
        monitor->onDataEvent(&event);
}

void MainWindow::onBtnCreateReport()
{
    report->run();
}

void MainWindow::onBtnShowAppConfig()
{
    AppSettings &settings = AppSettings::instance();
    ConfigDialog dialog(settings.autoConnect, settings.currentAxisScale, settings.plotInterval, this);
    dialog.setLinkSettings(settings.replyFraming, settings.extraPauseMs, settings.networkAllowanceMs);
    dialog.setLanguage(settings.language);
    dialog.setHistoryPeriods(settings.historyFullDays, settings.historyMinuteDays);
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings.autoConnect = dialog.autoConnect();
    settings.currentAxisScale = dialog.axisScale();
    settings.plotInterval = dialog.plotInterval();
    settings.replyFraming = dialog.framing();
    settings.extraPauseMs = dialog.extraPauseMs();
    settings.networkAllowanceMs = dialog.networkAllowanceMs();
    settings.historyFullDays = dialog.historyFullDays();
    settings.historyMinuteDays = dialog.historyMinuteDays();
    if (dialog.language() != settings.language) {
        // Written at once: the next start reads it, even after an end without closing.
        settings.language = dialog.language();
        if (!settings.saveLanguage(DataDirectory::writableFilePath(QLatin1String(AppSettings::kLanguageFileName))))
            qCWarning(lcWindow) << "language choice not written";
    }
    applyLinkSettings(); // from the next connection or search on
    applyViewSettings();
}

QString MainWindow::userGuide(const QString &programDir, Translation::Language language)
{
    QList<const char *> names {kHelpFile};
    if (language == Translation::English)
        names.prepend(kEnglishHelpFile); // a guide in the reader's language, in any place, comes first
    for (const char *name : names)
        for (const char *dir : kHelpDirs) {
            const QString path = QDir::cleanPath(programDir + QLatin1Char('/') + QLatin1String(dir) + QLatin1String(name));
            if (QFileInfo::exists(path))
                return path;
        }
    return QString();
}

void MainWindow::onBtnShowHelp()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString path = userGuide(programDir, Translation::installed());
    if (!help)
        help = new HelpViewer(this);
    if (path.isEmpty())
        help->showNotFound(programDir);
    else if (help->source() != QUrl::fromLocalFile(path)) // shown again where the reader left it
        help->openGuide(path);
    help->show();
    help->raise();
    help->activateWindow();
}

// The toolbar's tips name the keys; the tabs and buttons get their Alt letters.
void MainWindow::setupKeyboard()
{
    const std::pair<QToolButton *, QAction *> tipped[] = {
        {btnReport, addKeyAction("reportAction", QKeySequence(Qt::CTRL + Qt::Key_P))},
        {findChild<QToolButton *>(QStringLiteral("helpButton")), addKeyAction("helpAction", QKeySequence(Qt::Key_F1))}};
    for (const auto &t : tipped)
        t.first->setToolTip(t.first->toolTip() + QStringLiteral(" (")
                            + t.second->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
    connect(keyAction("reportAction"), &QAction::triggered, btnReport, &QToolButton::click); // nothing while disabled
    connect(keyAction("helpAction"), &QAction::triggered, this, &MainWindow::onBtnShowHelp);
    connect(addKeyAction("quitAction", QKeySequence(Qt::CTRL + Qt::Key_Q)), &QAction::triggered, this, &QWidget::close);
    connect(addKeyAction("searchAction", QKeySequence(Qt::Key_F5)), &QAction::triggered, this, &MainWindow::onKeySearch);
    new Mnemonics(this);
}

QAction *MainWindow::addKeyAction(const char *name, const QKeySequence &keys)
{
    auto *action = new QAction(this);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    addAction(action); // active wherever the focus is in the window
    return action;
}

QAction *MainWindow::keyAction(const char *name) const
{
    return findChild<QAction *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

void MainWindow::onKeySearch()
{
    QPushButton *search = searchTab->searchButton();
    if (tabWidget->currentWidget() == searchTab && search->isEnabled())
        search->click();
}

// The plots' files are proposed with what they show, the device's address and the time.
void MainWindow::setupExportNames()
{
    PlotExport::setFileName(watchTab->watchPlot(), [this] { return exportName(tr("Токи и напряжения")); });
    PlotExport::setFileName(watchTab->tempPlot(), [this] { return exportName(tr("Температура")); });
    PlotExport::setFileName(charCurveTab->plot(), [this] { return exportName(tr("Токо-временная характеристика")); });
}

QString MainWindow::exportName(const QString &what) const
{
    const DeviceInfo *device = deviceConnection.device();
    const QString address = device ? QString::number(device->address) : QString();
    return SaveFolder::name({what, address}, QDateTime::currentDateTime());
}

void MainWindow::onBtnShowMonitor()
{
    if (!monitor) {
        monitor = new TrafficMonitor(this);
        connect(monitor, &TrafficMonitor::openChanged, this, &MainWindow::onMonitorOpenChanged);
    }
    monitor->show();
    monitor->raise();
    monitor->activateWindow();
}

void MainWindow::setupHistory()
{
    const AppSettings &settings = AppSettings::instance();
    recorder = std::make_unique<HistoryRecorder>(
        DataDirectory::writableFilePath(QLatin1String(HistoryStore::kFileName)));
    recorder->setRetention(settings.historyFullDays, settings.historyMinuteDays);
    connect(recorder.get(), &HistoryRecorder::failed, this,
            [this](const QString &reason) { showStatus(tr("История не записывается: %1").arg(reason), 0); });
    if (!recorder->start()) {
        qCWarning(lcWindow) << "history not kept:" << recorder->error();
        QTimer::singleShot(0, this, [this] { showStatus(tr("История не ведётся: %1").arg(recorder->error()), 0); });
    }
}

void MainWindow::onBtnShowHistory()
{
    if (!historyWindow)
        historyWindow = new HistoryWindow(DataDirectory::filePath(QLatin1String(HistoryStore::kFileName)), this);
    else
        historyWindow->reload();
    historyWindow->show();
    historyWindow->raise();
    historyWindow->activateWindow();
}

// Frames leave the exchange only while someone looks at them.
void MainWindow::onMonitorOpenChanged(bool open)
{
    deviceConnection.setTrafficEvents(open);
}
