#include "ui/search/tabsearch.h"

#include "exchange/eventdispatch.h"
#include "exchange/searchthread.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "storage/devicerecordfile.h"
#include "storage/portmap.h"
#include "ui/maincontrol.h"
#include "ui/search/devicemodel.h"
#include "ui/search/networklinedialog.h"
#include "ui/search/searchdialog.h"
#include "ui/search/tabledevice.h"
#include "ui/styles.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {
constexpr int kStartStatusMs = 5000;

// What the label under the port selector says of a port.
QString portDetail(const PortMap::Port &port)
{
    QString about;
    switch (port.binding) {
    case PortMap::Binding::System: about = port.description; break;
    case PortMap::Binding::Environment: about = TabSearch::tr("назначен переменной ORBIX_PORTS"); break;
    case PortMap::Binding::File: about = TabSearch::tr("назначен в файле ports.conf"); break;
    case PortMap::Binding::Session: about = TabSearch::tr("имитатор линии"); break;
    }
    return about.isEmpty() ? port.systemName : port.systemName + QStringLiteral(" — ") + about;
}
} // namespace

TabSearch::TabSearch(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main), deviceModel(new DeviceModel(this)),
      tableDevice(new TableDevice(deviceModel, this))
{
    clock.start();
    setupLayout();
    connectSignals();
    loadDeviceList();
    onSetupChanged();
}

TabSearch::~TabSearch()
{
    saveDeviceList();
    thread.reset(); // asks a running scan to stop and waits for it
    dialog.reset();
}

const QVector<DeviceInfo> &TabSearch::devices() const
{
    return deviceModel->devices();
}

void TabSearch::setupLayout()
{
    auto *grid = new QGridLayout(this);
    grid->addWidget(tableDevice, 0, 0);
    grid->addWidget(setupSidePanel(), 0, 1);
    grid->addWidget(setupProgressBar(), 1, 0, 1, 2);
}

QWidget *TabSearch::setupSidePanel()
{
    auto *panel = new QWidget(this);
    auto *grid = new QGridLayout(panel);
    grid->addWidget(new QLabel(tr("Порт:"), panel), 0, 0);
    grid->addWidget(setupPortSelector(), 0, 1);
    speedBox = new QComboBox(panel);
    fillSpeedSelector();
    grid->addWidget(new QLabel(tr("Скорость:"), panel), 1, 0);
    grid->addWidget(speedBox, 1, 1);
    btnSearch = new QPushButton(tr("Поиск"), panel);
    btnStop = new QPushButton(tr("Остановить"), panel);
    btnAdd = new QPushButton(tr("Добавить"), panel);
    btnNetworkLine = new QPushButton(tr("Сетевая линия..."), panel);
    btnConnect = new QPushButton(tr("Подключиться"), panel);
    btnDisconnect = new QPushButton(tr("Отключиться"), panel);
    int row = 2;
    for (QPushButton *b : {btnSearch, btnStop, btnAdd, btnNetworkLine, btnConnect, btnDisconnect})
        grid->addWidget(b, row++, 0, 1, 2);
    nameWidgets();
    grid->setRowStretch(row, 1);
    btnStop->setEnabled(false);
    btnConnect->setEnabled(false);
    btnDisconnect->setEnabled(false);
    return panel;
}

// Names let the window's end-to-end test and the screenshot script find the controls.
void TabSearch::nameWidgets()
{
    const std::pair<QWidget *, const char *> names[] = {
        {this, "searchTab"}, {tableDevice, "deviceTable"}, {btnSearch, "searchButton"},
        {btnStop, "searchStopButton"}, {btnAdd, "addButton"}, {btnNetworkLine, "networkLineButton"}, {btnConnect, "connectButton"},
        {btnDisconnect, "disconnectButton"}, {speedBox, "speedSelector"}};
    for (const auto &n : names)
        n.first->setObjectName(QLatin1String(n.second));
}

// "COMn" alone says nothing on Linux: the adapter's name is shown under the selector.
QWidget *TabSearch::setupPortSelector()
{
    auto *box = new QWidget(this);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    portBox = new QComboBox(box);
    portBox->setObjectName(QStringLiteral("portSelector"));
    portInfo = new QLabel(box);
    portInfo->setObjectName(QStringLiteral("portInfo"));
    portInfo->setWordWrap(true);
    column->addWidget(portBox);
    column->addWidget(portInfo);
    fillPortSelector();
    return box;
}

QWidget *TabSearch::setupProgressBar()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    progress = new QProgressBar(row);
    progress->setObjectName(QStringLiteral("searchProgress"));
    progress->setStyleSheet(Styles::progressBar());
    progress->setFormat(QStringLiteral("%p%"));
    progress->setOrientation(Qt::Horizontal);
    progress->setAlignment(Qt::AlignCenter);
    progress->setRange(0, SearchThread::kProbesPerScan);
    progress->setValue(0);
    progressText = new QLabel(row);
    progressText->setObjectName(QStringLiteral("searchProgressText"));
    layout->addWidget(progress, 1);
    layout->addWidget(progressText);
    return row;
}

void TabSearch::fillPortSelector()
{
    for (const PortMap::Port &port : PortMap::system().ports()) {
        portBox->addItem(QStringLiteral("COM") + QString::number(port.number), port.number);
        const QString detail = portDetail(port);
        portBox->setItemData(portBox->count() - 1, QString(detail + QLatin1Char('\n') + port.path), Qt::ToolTipRole);
        portBox->setItemData(portBox->count() - 1, detail, Qt::UserRole + 1);
    }
    const int last = portBox->findData(AppSettings::instance().lastPortNumber);
    portBox->setCurrentIndex(last >= 0 ? last : 0);
    updatePortInfo();
}

int TabSearch::firstFreePortNumber() const
{
    int n = PortMap::kFirstAssigned;
    while (portBox->findData(n) >= 0)
        ++n;
    return n;
}

// The line is bound in ports.conf, so that it keeps its COM number in every run.
void TabSearch::onBtnNetworkLineClicked()
{
    NetworkLineDialog dialog(firstFreePortNumber(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!PortMap::saveBinding(dialog.portNumber(), dialog.url())) {
        QMessageBox::warning(this, tr("Сетевая линия"),
                             tr("Не удалось записать файл %1 в каталог данных программы.").arg(QLatin1String(PortMap::kBindingFile)));
        return;
    }
    portBox->clear();
    fillPortSelector();
    selectPort(dialog.portNumber());
    mainControl->showStatus(tr("Сетевая линия %1 назначена на COM%2").arg(dialog.url()).arg(dialog.portNumber()), kStartStatusMs);
}

void TabSearch::fillSpeedSelector()
{
    for (qint32 speed : DeviceInfo::kSpeeds)
        speedBox->addItem(QString::number(speed), speed);
    const int last = AppSettings::instance().lastSpeedIndex;
    speedBox->setCurrentIndex(last >= 0 && last < speedBox->count() ? last : 0);
}

void TabSearch::updatePortInfo()
{
    portInfo->setText(portBox->currentData(Qt::UserRole + 1).toString());
}

void TabSearch::connectSignals()
{
    connect(portBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TabSearch::onSetupChanged);
    connect(portBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TabSearch::updatePortInfo);
    connect(speedBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &TabSearch::onSetupChanged);
    connect(btnSearch, &QPushButton::clicked, this, &TabSearch::onBtnSearchClicked);
    connect(btnStop, &QPushButton::clicked, this, &TabSearch::onBtnStopClicked);
    connect(btnAdd, &QPushButton::clicked, this, &TabSearch::onBtnAddClicked);
    connect(btnNetworkLine, &QPushButton::clicked, this, &TabSearch::onBtnNetworkLineClicked);
    connect(btnConnect, &QPushButton::clicked, this, &TabSearch::onBtnConnectClicked);
    connect(tableDevice, &TableDevice::connectTo, this, &TabSearch::onBtnConnectClicked);
    connect(btnDisconnect, &QPushButton::clicked, this, &TabSearch::onBtnDisconnectClicked);
    connect(tableDevice, &TableDevice::selectedDevice, this, &TabSearch::onSelectDevice);
}

SearchThread *TabSearch::searchThread()
{
    if (!thread) {
        thread = std::make_unique<SearchThread>();
        thread->setTiming(timing);
        connect(thread.get(), &SearchThread::searchEvent, this, &TabSearch::onSearchEvent, Qt::QueuedConnection);
    }
    return thread.get();
}

void TabSearch::setDisconnectEnabled(bool enabled)
{
    btnDisconnect->setEnabled(enabled);
}

bool TabSearch::selectPort(int number)
{
    const int index = portBox->findData(number);
    if (index >= 0)
        portBox->setCurrentIndex(index);
    return index >= 0;
}

void TabSearch::setTiming(const ProtocolTiming &t)
{
    timing = t;
    if (thread)
        thread->setTiming(t);
    if (!scanning) // the estimate shown before a search is of this timing's probes
        showIdleProgress();
}

void TabSearch::loadDeviceList()
{
    deviceModel->append(DeviceRecordFile::load(DataDirectory::filePath(QLatin1String(kDeviceListFile))));
}

void TabSearch::saveDeviceList() const
{
    DeviceRecordFile::save(DataDirectory::writableFilePath(QLatin1String(kDeviceListFile)), deviceModel->devices());
}

// The COM number is resolved here, in the interface thread, when a search starts:
// the thread only opens the path it is given.
void TabSearch::configureThread(int portIndex, int speedIndex)
{
    // An empty port selector gives port 0 and an empty path, which fails to open.
    const int number = portBox->itemData(portIndex).toInt();
    const PortMap ports = PortMap::system();
    searchThread()->setPortNumber(number);
    searchThread()->setDevicePath(number > 0 ? ports.devicePath(number) : QString());
    searchThread()->setLineOptions(ports.lineOptions(number));
    searchThread()->setBaudRate(speedBox->itemData(speedIndex).toUInt());
}

void TabSearch::onSetupChanged()
{
    const int probes = thread ? thread->probeCount() : 0;
    const bool sameLine = portBox->currentIndex() == lastPortIndex && speedBox->currentIndex() == lastSpeedIndex;
    btnStop->setEnabled(sameLine && probes > 0 && probes != (thread ? thread->scanProbes() : SearchThread::kProbesPerScan));
    if (!scanning)
        showIdleProgress();
}

// A scan of this line made before shows how far it got; otherwise what a whole one costs.
void TabSearch::showIdleProgress()
{
    const int probes = thread ? thread->probeCount() : 0;
    const int total = thread ? thread->scanProbes() : SearchThread::kProbesPerScan;
    const bool sameLine = portBox->currentIndex() == lastPortIndex && speedBox->currentIndex() == lastSpeedIndex;
    const quint32 speed = speedBox->currentData().toUInt();
    progressText->setText(sameLine && probes > 0 ? SearchProgress::endedText(probes, total)
                                                 : SearchProgress::plannedText(total, SearchProgress::probeCostMs(timing, speed)));
}

void TabSearch::onBtnSearchClicked()
{
    mainControl->disconnectDevice();
    searchThread()->resetSearch();
    deviceModel->clear();
    lastPortIndex = portBox->currentIndex();
    lastSpeedIndex = speedBox->currentIndex();
    AppSettings::instance().lastPortNumber = portBox->currentData().toInt();
    AppSettings::instance().lastSpeedIndex = lastSpeedIndex;
    configureThread(lastPortIndex, lastSpeedIndex);
    thread->startSearch();
}

void TabSearch::onBtnStopClicked()
{
    if (!searchThread()->isRunning())
        configureThread(lastPortIndex, lastSpeedIndex);
    thread->toggleSearch();
}

void TabSearch::onBtnAddClicked()
{
    if (!dialog)
        dialog = std::make_unique<SearchDialog>(this);
    if (dialog->exec() != QDialog::Accepted)
        return;
    configureThread(portBox->currentIndex(), speedBox->currentIndex());
    thread->probeAt(quint32(dialog->address()), quint32(dialog->frameFormat()));
}

void TabSearch::onBtnConnectClicked()
{
    const DeviceInfo *current = tableDevice->currentDevice();
    if (!current) {
        searchThread()->stopSearch();
        return;
    }
    const DeviceInfo device = *current; // the list may change while the search stops
    searchThread()->stopSearch();
    mainControl->connectDevice(device);
}

void TabSearch::onBtnDisconnectClicked()
{
    mainControl->disconnectDevice();
}

void TabSearch::onSelectDevice(const DeviceInfo *device)
{
    btnConnect->setEnabled(device && device->kind != DeviceInfo::Unknown);
}

void TabSearch::onSearchEvent(SearchEventPtr event)
{
    // Late events of a scan that a new scan has replaced are not this scan's.
    if (thread && event->scan() == thread->scanNumber())
        react(*event);
}

void TabSearch::react(const SearchEvent &event)
{
    EventDispatch::visit(event, EventHandlers {
        [this](const SearchEventError &e) {
            if (e.error() == 0)
                onSearchEnded(tr("Поиск остановлен. Ошибка открытия COM-порта"));
        },
        [this](const SearchEventFound &e) { onDeviceFound(e); },
        [this](const SearchEvent &e) { onSearchState(e.type()); }});
}

void TabSearch::onSearchState(SearchEvent::Type type)
{
    switch (type) {
    case SearchEvent::Started:
        onSearchStarted();
        break;
    case SearchEvent::ProbeDone:
    case SearchEvent::ScanDone:
        onSearchEnded(tr("Поиск завершён..."));
        break;
    case SearchEvent::Progress:
        progress->setValue(searchThread()->probeCount());
        if (scanning)
            progressText->setText(pace.runningText(thread->probeCount(), clock.elapsed()));
        break;
    case SearchEvent::Stopped:
        onSearchEnded(tr("Поиск остановлен..."));
        if (btnStop->isEnabled())
            btnStop->setText(tr("Продолжить"));
        break;
    case SearchEvent::Error:
    case SearchEvent::Found:
        break; // without their payload: nothing to show
    }
}

void TabSearch::setIdleControlsEnabled(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(portBox), static_cast<QWidget *>(speedBox),
                       static_cast<QWidget *>(btnSearch), static_cast<QWidget *>(btnAdd),
                       static_cast<QWidget *>(btnNetworkLine)})
        w->setEnabled(enabled);
}

void TabSearch::onSearchStarted()
{
    const bool oneFormat = searchThread()->formatsPerAddress() == 1;
    mainControl->showStatus(oneFormat ? tr("Поиск запущен... Сетевая линия: формат кадра задан на сервере, "
                                           "каждый адрес опрашивается один раз")
                                      : tr("Поиск запущен..."),
                            kStartStatusMs);
    progress->setRange(0, searchThread()->scanProbes());
    setIdleControlsEnabled(false);
    btnConnect->setEnabled(false);
    btnStop->setEnabled(!searchThread()->singleProbe());
    if (btnStop->isEnabled())
        btnStop->setText(tr("Остановить"));
    progress->setValue(searchThread()->probeCount());
    if (thread->singleProbe())
        return;
    scanning = true;
    pace.start(thread->probeCount(), thread->scanProbes(), SearchProgress::probeCostMs(timing, thread->baudRate()),
               clock.elapsed());
    progressText->setText(pace.runningText(thread->probeCount(), clock.elapsed()));
}

void TabSearch::onSearchEnded(const QString &status)
{
    scanning = false;
    setIdleControlsEnabled(true);
    onSetupChanged();
    mainControl->showStatus(status, 0);
}

void TabSearch::onDeviceFound(const SearchEventFound &event)
{
    deviceModel->append(event.device());
}
