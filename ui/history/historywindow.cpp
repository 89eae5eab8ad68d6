#include "ui/history/historywindow.h"

#include "device/comtradewriter.h"
#include "device/crashoscillogrampacket.h"
#include "device/faulttext.h"
#include "device/oscillogramcsv.h"
#include "history/historycsv.h"
#include "history/historyeventtext.h"
#include "history/historystore.h"
#include "history/oscillogramblock.h"
#include "plots/crashplot.h"
#include "storage/datadirectory.h"
#include "ui/history/historyplot.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>

namespace {

constexpr qint64 kHourMs = 3600 * 1000LL;
constexpr qint64 kPeriodMs[] = {kHourMs, 24 * kHourMs, 7 * 24 * kHourMs};
constexpr int kDeviceBoxCharacters = 28;
const QSize kInitialSize(1100, 760);
// What a window manager's frame takes around the window, roughly.
const QSize kFrameAllowance(8, 36);

QString localTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

} // namespace

HistoryWindow::HistoryWindow(const QString &databasePath, QWidget *parent)
    : QDialog(parent), store(std::make_unique<HistoryStore>()), path(databasePath)
{
    // A window of its own does not take its opener's locale by itself.
    if (parent)
        setLocale(parent->locale());
    setWindowTitle(tr("История"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto *layout = new QVBoxLayout(this);
    setupControls(layout);
    auto *split = new QSplitter(Qt::Horizontal, this);
    auto *plots = new QWidget(split);
    auto *plotColumn = new QVBoxLayout(plots);
    plotColumn->setContentsMargins(0, 0, 0, 0);
    currents = new HistoryPlot(tr("Токи фаз, А"), {tr("Фаза A"), tr("Фаза B"), tr("Фаза C")}, plots);
    voltages = new HistoryPlot(tr("Напряжения фаз, В"), {tr("Фаза A"), tr("Фаза B"), tr("Фаза C")}, plots);
    temperature = new HistoryPlot(tr("Температура PT100, °C"), {tr("PT100")}, plots);
    for (HistoryPlot *p : {currents, voltages, temperature})
        plotColumn->addWidget(p);
    split->addWidget(plots);
    split->addWidget(setupSideColumn());
    split->setStretchFactor(0, 3);
    layout->addWidget(split, 1);
    statusLabel = new QLabel(this);
    layout->addWidget(statusLabel);
    QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    resize(screen ? kInitialSize.boundedTo(screen->availableGeometry().size() - kFrameAllowance) : kInitialSize);
    reload();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::setupControls(QLayout *layout)
{
    auto *row = new QHBoxLayout;
    deviceBox = new QComboBox(this);
    deviceBox->setObjectName(QStringLiteral("historyDevice"));
    // A device's line names its whole period: the list shows it, the box as much as fits.
    deviceBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    deviceBox->setMinimumContentsLength(kDeviceBoxCharacters);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("historyPeriod"));
    periodBox->addItems({tr("Последний час"), tr("Последние сутки"), tr("Последняя неделя"), tr("Период")});
    periodBox->setCurrentIndex(LastDay);
    fromEdit = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1), this);
    toEdit = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    for (QDateTimeEdit *e : {fromEdit, toEdit}) {
        e->setDisplayFormat(QStringLiteral("dd.MM.yyyy hh:mm"));
        e->setCalendarPopup(true);
        e->setEnabled(false);
    }
    auto *showButton = new QPushButton(tr("Показать"), this);
    auto *exportButton = new QPushButton(tr("Экспорт CSV..."), this);
    // The device on a row of its own: its line and the period beside it would not fit a laptop.
    auto *deviceRow = new QHBoxLayout;
    deviceRow->addWidget(new QLabel(tr("Устройство:"), this));
    deviceRow->addWidget(deviceBox, 1);
    static_cast<QBoxLayout *>(layout)->addLayout(deviceRow);
    row->addWidget(periodBox);
    row->addWidget(new QLabel(tr("с"), this));
    row->addWidget(fromEdit);
    row->addWidget(new QLabel(tr("по"), this));
    row->addWidget(toEdit);
    row->addStretch(1);
    row->addWidget(showButton);
    row->addWidget(exportButton);
    static_cast<QBoxLayout *>(layout)->addLayout(row);
    connect(periodBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        fromEdit->setEnabled(index == Chosen);
        toEdit->setEnabled(index == Chosen);
    });
    connect(showButton, &QPushButton::clicked, this, &HistoryWindow::onShow);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::onExportCsv);
}

QWidget *HistoryWindow::setupSideColumn()
{
    auto *side = new QWidget(this);
    auto *column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    eventTable = new QTableWidget(0, 2, side);
    eventTable->setHorizontalHeaderLabels({tr("Время"), tr("Событие")});
    eventTable->horizontalHeader()->setStretchLastSection(true);
    eventTable->verticalHeader()->hide();
    eventTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    eventTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    oscillogramList = new QListWidget(side);
    oscillogramList->setObjectName(QStringLiteral("historyOscillograms"));
    auto *buttons = new QHBoxLayout;
    auto *openButton = new QPushButton(tr("Открыть"), side);
    auto *exportButton = new QPushButton(tr("Сохранить..."), side);
    exportButton->setToolTip(tr("COMTRADE (.cfg) или CSV (.csv)"));
    buttons->addWidget(openButton);
    buttons->addWidget(exportButton);
    column->addWidget(new QLabel(tr("События"), side));
    column->addWidget(eventTable, 2);
    column->addWidget(new QLabel(tr("Аварийные осциллограммы"), side));
    column->addWidget(oscillogramList, 1);
    column->addLayout(buttons);
    connect(openButton, &QPushButton::clicked, this, &HistoryWindow::onOpenOscillogram);
    connect(oscillogramList, &QListWidget::itemDoubleClicked, this, &HistoryWindow::onOpenOscillogram);
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::onExportOscillogram);
    return side;
}

void HistoryWindow::say(const QString &text)
{
    statusLabel->setText(text);
}

void HistoryWindow::reload()
{
    deviceList.clear();
    deviceBox->clear();
    error.clear();
    if (!store->isOpen() && !store->open(path, true)) {
        error = store->error();
        say(tr("История недоступна: %1").arg(error));
        return;
    }
    deviceList = store->devices();
    for (const HistoryDevice &d : deviceList)
        deviceBox->addItem(QStringLiteral("%1 / %2 / %3   %4 – %5")
                               .arg(d.line).arg(d.address).arg(d.identity)
                               .arg(d.lastMs ? localTime(d.firstMs) : QStringLiteral("—"))
                               .arg(d.lastMs ? localTime(d.lastMs) : QStringLiteral("—")));
    say(deviceList.isEmpty() ? tr("В истории нет устройств") : QString());
}

void HistoryWindow::onShow()
{
    const int period = periodBox->currentIndex();
    if (period == Chosen)
        showRange(deviceBox->currentIndex(), fromEdit->dateTime().toMSecsSinceEpoch(),
                  toEdit->dateTime().toMSecsSinceEpoch());
    else
        showPeriod(deviceBox->currentIndex(), Period(period));
}

void HistoryWindow::showPeriod(int deviceIndex, Period period, qint64 nowMs)
{
    const qint64 end = nowMs ? nowMs : QDateTime::currentMSecsSinceEpoch();
    showRange(deviceIndex, end - kPeriodMs[qBound(0, int(period), 2)], end);
}

void HistoryWindow::showRange(int deviceIndex, qint64 fromMs, qint64 toMs)
{
    shownDevice = -1;
    samples.clear();
    events.clear();
    oscillograms.clear();
    if (deviceIndex >= 0 && deviceIndex < deviceList.size() && store->isOpen()) {
        shownDevice = deviceIndex;
        const qint64 id = deviceList[deviceIndex].id;
        samples = store->samples(id, fromMs, toMs);
        events = store->events(id, fromMs, toMs);
        oscillograms = store->oscillograms(id);
    }
    fillPlots();
    fillEvents();
    fillOscillograms();
    say(tr("%1 – %2: записей %3, событий %4").arg(localTime(fromMs), localTime(toMs)).arg(samples.size()).arg(events.size()));
}

void HistoryWindow::fillPlots()
{
    const int n = samples.size();
    QVector<double> times(n);
    QVector<QVector<double>> a(3, QVector<double>(n));
    QVector<QVector<double>> u(3, QVector<double>(n));
    QVector<QVector<double>> t(1, QVector<double>(n));
    // Straight into the arrays: a day is 86400 rows of seven curves.
    double *time = times.data();
    double *current[3] = {a[0].data(), a[1].data(), a[2].data()};
    double *voltage[3] = {u[0].data(), u[1].data(), u[2].data()};
    double *pt100 = t[0].data();
    const HistorySample *s = samples.constData();
    for (int i = 0; i < n; ++i) {
        time[i] = double(s[i].timeMs);
        for (int p = 0; p < 3; ++p) {
            current[p][i] = s[i].currents[p];
            voltage[p][i] = s[i].voltages[p];
        }
        pt100[i] = s[i].pt100;
    }
    currents->setSamples(times, a);
    voltages->setSamples(times, u);
    temperature->setSamples(times, t);
}

void HistoryWindow::fillEvents()
{
    eventTable->setRowCount(events.size());
    for (int i = 0; i < events.size(); ++i) {
        eventTable->setItem(i, 0, new QTableWidgetItem(localTime(events[i].timeMs)));
        eventTable->setItem(i, 1, new QTableWidgetItem(HistoryEventText::text(events[i])));
    }
    eventTable->resizeColumnToContents(0);
}

void HistoryWindow::fillOscillograms()
{
    oscillogramList->clear();
    for (const HistoryOscillogram &o : oscillograms)
        oscillogramList->addItem(localTime(qint64(o.tripTime) * 1000) + QStringLiteral("  ") + faultText(o.faultCode));
}

QByteArray HistoryWindow::csv() const
{
    QByteArray text = QByteArray(HistoryCsv::kHeader) + '\n';
    if (shownDevice < 0)
        return text;
    for (const HistorySample &s : samples)
        text += HistoryCsv::row(deviceList[shownDevice], s);
    return text;
}

void HistoryWindow::onExportCsv()
{
    const QString file = QFileDialog::getSaveFileName(this, tr("Экспорт периода"), QString(), tr("CSV (*.csv)"));
    if (file.isEmpty())
        return;
    say(DataDirectory::writeFile(file, csv()) ? tr("Записано: %1").arg(file) : tr("Не удалось записать %1").arg(file));
}

bool HistoryWindow::loadOscillogram(CrashOscillogramPacket &block)
{
    const int row = oscillogramList->currentRow();
    HistoryOscillogram whole;
    if (row < 0 || row >= oscillograms.size())
        return false;
    if (!store->oscillogram(oscillograms[row].id, whole) || !OscillogramBlock::decode(whole.block, block)) {
        say(tr("Осциллограмма не прочитана: %1").arg(store->error()));
        return false;
    }
    return true;
}

void HistoryWindow::onOpenOscillogram()
{
    CrashOscillogramPacket block;
    if (!loadOscillogram(block))
        return;
    auto *dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(oscillogramList->currentItem()->text());
    auto *plot = new CrashPlot(dialog);
    plot->setData(block);
    (new QVBoxLayout(dialog))->addWidget(plot);
    dialog->resize(800, 500);
    dialog->show();
}

void HistoryWindow::onExportOscillogram()
{
    CrashOscillogramPacket block;
    if (!loadOscillogram(block))
        return;
    QString file = QFileDialog::getSaveFileName(this, tr("Сохранить осциллограмму"), QString(),
                                                tr("COMTRADE (*.cfg);;CSV (*.csv)"));
    if (file.isEmpty())
        return;
    bool ok = false;
    if (file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        ok = DataDirectory::writeFile(file, OscillogramCsv::text(block));
    } else {
        const QString base = file.endsWith(QLatin1String(".cfg"), Qt::CaseInsensitive) ? file.chopped(4) : file;
        const HistoryDevice &d = deviceList[shownDevice];
        const ComtradeWriter writer(block, QStringLiteral("ORBIKS-11 %1/%2").arg(d.identity).arg(d.address));
        ok = DataDirectory::writeFile(base + QLatin1String(ComtradeWriter::kConfigSuffix), writer.configuration())
             && DataDirectory::writeFile(base + QLatin1String(ComtradeWriter::kDataSuffix), writer.data());
    }
    say(ok ? tr("Записано: %1").arg(file) : tr("Не удалось записать %1").arg(file));
}
