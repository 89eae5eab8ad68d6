#include "ui/characteristics/tabcharcurve.h"

#include "device/configpacket.h"
#include "device/deviceinfo.h"
#include "device/protectionmodel.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "exchange/eventdispatch.h"
#include "plots/runconfigplot.h"
#include "ui/maincontrol.h"
#include "ui/plotexport.h"
#include "ui/styles.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace {
const char kRecordTimeTitle[] = QT_TRANSLATE_NOOP("TabCharCurve", "Время записи пусковой характеристики:");
} // namespace

TabCharCurve::TabCharCurve(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main)
{
    setObjectName(QStringLiteral("tabCharCurve"));
    auto *grid = new QGridLayout(this);
    recordTime = new QLabel(tr(kRecordTimeTitle), this);
    recordTime->setObjectName(QStringLiteral("charRecordTimeLabel"));
    grid->addWidget(recordTime, 0, 0, 1, 3);
    completeness = addBar(grid, 1, tr("Полнота записанных данных"), "charCompletenessBar");
    accumulation = addBar(grid, 2, tr("Накопление данных"), "charAccumulationBar");
    btnAutoSetup = addButton(tr("Автонастройка"), "autoSetupButton");
    btnAutoSetup->setEnabled(false);
    grid->addWidget(btnAutoSetup, 1, 2, 2, 1);
    btnUpdatePlot = addButton(tr("Обновить график"), "updatePlotButton");
    grid->addWidget(btnUpdatePlot, 3, 2);
    runConfigPlot = new RunConfigPlot(CurrentAxis::Logarithmic, this);
    PlotExport::addContextMenu(runConfigPlot);
    grid->addWidget(runConfigPlot, 4, 0, 1, 3);
    connect(btnAutoSetup, &QPushButton::clicked, this, &TabCharCurve::onBtnAutoSetupClicked);
    connect(btnUpdatePlot, &QPushButton::clicked, this, &TabCharCurve::onBtnUpdatePlotClicked);
    connect(runConfigPlot, &RunConfigPlot::buildProtectionGraphFinished, this,
            &TabCharCurve::onBuildProtectionGraphFinished);
}

QProgressBar *TabCharCurve::addBar(QGridLayout *grid, int row, const QString &title, const char *name)
{
    auto *bar = new QProgressBar(this);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, RunConfigProgressPacket::kFullScale);
    bar->setFormat(QStringLiteral("%p%"));
    bar->setAlignment(Qt::AlignCenter);
    bar->setValue(0);
    bar->setStyleSheet(Styles::progressBar());
    grid->addWidget(new QLabel(title, this), row, 0);
    grid->addWidget(bar, row, 1);
    return bar;
}

QPushButton *TabCharCurve::addButton(const QString &text, const char *name)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    return button;
}

void TabCharCurve::setCurrentAxisScale(CurrentAxis axis)
{
    runConfigPlot->setCurrentAxisScale(axis);
}

void TabCharCurve::onDataEvent(const DataEvent *event)
{
    EventDispatch::visit(*event, EventHandlers {
        [this](const ConfigEvent &e) { onConfig(e); },
        [this](const RunConfigEventGet &e) { onStartRecord(e); },
        [this](const RunConfigEventProgress &e) { onProgress(e); },
        [this](const DataEvent &e) {
            if (e.type() == DataEvent::Connected)
                onConnected();
        }});
}

void TabCharCurve::onConnected()
{
    if (const DeviceInfo *device = mainControl->currentDevice())
        runConfigPlot->setCurrentScale(device->currentScale);
}

void TabCharCurve::onConfig(const ConfigEvent &event)
{
    const ConfigPacket *block = event.packet();
    if (!block)
        return;
    runConfigPlot->setProtectionSettings(ProtectionSettings::fromConfig(*block));
    onBtnUpdatePlotClicked();
}

void TabCharCurve::onStartRecord(const RunConfigEventGet &event)
{
    const RunConfigPacket *record = event.packet();
    if (!record)
        return;
    completeness->setValue(record->completeness());
    const QDateTime time = QDateTime::fromSecsSinceEpoch(record->recordTime()).toLocalTime();
    recordTime->setText(tr(kRecordTimeTitle) + QLatin1Char(' ') + time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    runConfigPlot->setStartCharacteristic(record->characteristic());
}

void TabCharCurve::onProgress(const RunConfigEventProgress &event)
{
    const RunConfigProgressPacket *progress = event.packet();
    if (!progress)
        return;
    btnAutoSetup->setEnabled(progress->autoSetupAvailable());
    accumulation->setValue(progress->accumulation());
}

void TabCharCurve::onBtnUpdatePlotClicked()
{
    btnUpdatePlot->setText(tr("Обновление графика..."));
    btnUpdatePlot->setEnabled(false);
    runConfigPlot->buildProtectionGraph();
}

void TabCharCurve::onBuildProtectionGraphFinished()
{
    btnUpdatePlot->setText(tr("Обновить график"));
    btnUpdatePlot->setEnabled(true);
}

void TabCharCurve::onBtnAutoSetupClicked()
{
    if (!mainControl->hasAccessCode()) {
        QMessageBox::warning(this, tr("Настройка"), tr("Для этой операции необходимо ввести пароль."), QMessageBox::Ok);
        mainControl->focusAccessCode();
        return;
    }
    mainControl->requestAutoSetup();
}
