#include "tabsearch.h"

#include "appsettings.h"
#include "datadirectory.h"
#include "devicemodel.h"
#include "devicerecordfile.h"
#include "maincontrol.h"
#include "portmap.h"
#include "searchdialog.h"
#include "searcheventerror.h"
#include "searcheventfound.h"
#include "searchthread.h"
#include "styles.h"
#include "tabledevice.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The speeds a device can be set to, bit/s.
const int kSpeeds[] = {600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600};

} // namespace

TabSearch::TabSearch(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main), deviceModel(new DeviceModel(&deviceList, this)),
      tableDevice(new TableDevice(deviceModel, this))
{
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
    qDeleteAll(deviceList);
}

void TabSearch::setupLayout()
{
    auto *grid = new QGridLayout(this);
    grid->addWidget(tableDevice, 0, 0);
    grid->addWidget(setupSidePanel(), 0, 1);
    setupProgressBar();
    grid->addWidget(progress, 1, 0, 1, 2);
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
    btnConnect = new QPushButton(tr("Подключиться"), panel);
    btnDisconnect = new QPushButton(tr("Отключиться"), panel);
    int row = 2;
    for (QPushButton *b : {btnSearch, btnStop, btnAdd, btnConnect, btnDisconnect})
        grid->addWidget(b, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    btnStop->setEnabled(false);
    btnConnect->setEnabled(false);
    btnDisconnect->setEnabled(false);
    return panel;
}

// "COMn" alone says nothing on Linux: the adapter's name is shown under the selector.
QWidget *TabSearch::setupPortSelector()
{
    auto *box = new QWidget(this);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    portBox = new QComboBox(box);
    portInfo = new QLabel(box);
    portInfo->setWordWrap(true);
    column->addWidget(portBox);
    column->addWidget(portInfo);
    fillPortSelector();
    return box;
}

void TabSearch::setupProgressBar()
{
    progress = new QProgressBar(this);
    progress->setStyleSheet(Styles::progressBar());
    progress->setFormat(QStringLiteral("%p%"));
    progress->setOrientation(Qt::Horizontal);
    progress->setAlignment(Qt::AlignCenter);
    progress->setRange(0, SearchThread::kProbesPerScan);
    progress->setValue(0);
}

void TabSearch::fillPortSelector()
{
    for (const PortMap::Port &port : PortMap::system().ports()) {
        portBox->addItem(QStringLiteral("COM") + QString::number(port.number), port.number);
        const QString detail = port.systemName + QStringLiteral(" — ") + port.description;
        portBox->setItemData(portBox->count() - 1, QString(detail + QLatin1Char('\n') + port.path), Qt::ToolTipRole);
        portBox->setItemData(portBox->count() - 1, detail, Qt::UserRole + 1);
    }
    const int last = portBox->findData(AppSettings::instance().lastPortNumber);
    portBox->setCurrentIndex(last >= 0 ? last : 0);
    updatePortInfo();
}

void TabSearch::fillSpeedSelector()
{
    for (int speed : kSpeeds)
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
    connect(btnConnect, &QPushButton::clicked, this, &TabSearch::onBtnConnectClicked);
    connect(tableDevice, &TableDevice::connectTo, this, &TabSearch::onBtnConnectClicked);
    connect(btnDisconnect, &QPushButton::clicked, this, &TabSearch::onBtnDisconnectClicked);
    connect(tableDevice, &TableDevice::selectedDevice, this, &TabSearch::onSelectDevice);
}

SearchThread *TabSearch::searchThread()
{
    if (!thread) {
        thread = std::make_unique<SearchThread>();
        thread->setProbeTimeout(probeTimeoutMs);
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

void TabSearch::setProbeTimeout(int ms)
{
    probeTimeoutMs = ms;
    if (thread)
        thread->setProbeTimeout(ms);
}

void TabSearch::loadDeviceList()
{
    for (const DeviceInfo &info : DeviceRecordFile::load(DataDirectory::filePath(QLatin1String(kDeviceListFile))))
        deviceModel->append(new DeviceInfo(info));
}

void TabSearch::saveDeviceList() const
{
    QList<DeviceInfo> records;
    for (const DeviceInfo *info : deviceList)
        records.append(*info);
    DeviceRecordFile::save(DataDirectory::writableFilePath(QLatin1String(kDeviceListFile)), records);
}

void TabSearch::configureThread(int portIndex, int speedIndex)
{
    // An empty port selector gives port 0, which fails to open and ends the search.
    searchThread()->setPortNumber(portBox->itemData(portIndex).toInt());
    searchThread()->setBaudRate(speedBox->itemData(speedIndex).toUInt());
}

void TabSearch::onSetupChanged()
{
    const int probes = thread ? thread->probeCount() : 0;
    const bool sameLine = portBox->currentIndex() == lastPortIndex && speedBox->currentIndex() == lastSpeedIndex;
    btnStop->setEnabled(sameLine && probes > 0 && probes != SearchThread::kProbesPerScan);
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
    DeviceInfo *device = tableDevice->currentDevice();
    searchThread()->stopSearch();
    if (device)
        mainControl->connectDevice(*device);
}

void TabSearch::onBtnDisconnectClicked()
{
    mainControl->disconnectDevice();
}

void TabSearch::onSelectDevice(DeviceInfo *device)
{
    btnConnect->setEnabled(device && device->kind != DeviceInfo::Unknown);
}

void TabSearch::onSearchEvent(SearchEvent *event)
{
    switch (event->type()) {
    case SearchEvent::Error:
        if (static_cast<SearchEventError *>(event)->error() == 0)
            onSearchEnded(tr("Поиск остановлен. Ошибка открытия COM-порта"));
        break;
    case SearchEvent::Started:
        onSearchStarted();
        break;
    case SearchEvent::Found:
        onDeviceFound(event);
        break;
    case SearchEvent::ProbeDone:
    case SearchEvent::ScanDone:
        onSearchEnded(tr("Поиск завершён..."));
        break;
    case SearchEvent::Progress:
        progress->setValue(searchThread()->probeCount());
        break;
    case SearchEvent::Stopped:
        onSearchEnded(tr("Поиск остановлен..."));
        if (btnStop->isEnabled())
            btnStop->setText(tr("Продолжить"));
        break;
    }
    delete event;
}

void TabSearch::setIdleControlsEnabled(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(portBox), static_cast<QWidget *>(speedBox),
                       static_cast<QWidget *>(btnSearch), static_cast<QWidget *>(btnAdd)})
        w->setEnabled(enabled);
}

void TabSearch::onSearchStarted()
{
    mainControl->showStatus(tr("Поиск запущен..."), 5000);
    setIdleControlsEnabled(false);
    btnConnect->setEnabled(false);
    btnStop->setEnabled(!searchThread()->singleProbe());
    if (btnStop->isEnabled())
        btnStop->setText(tr("Остановить"));
    progress->setValue(searchThread()->probeCount());
}

void TabSearch::onSearchEnded(const QString &status)
{
    setIdleControlsEnabled(true);
    onSetupChanged();
    mainControl->showStatus(status, 0);
}

void TabSearch::onDeviceFound(SearchEvent *event)
{
    if (DeviceInfo *device = static_cast<SearchEventFound *>(event)->takeDevice())
        deviceModel->append(device);
}
