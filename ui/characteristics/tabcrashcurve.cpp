#include "ui/characteristics/tabcrashcurve.h"

#include "device/comtradewriter.h"
#include "device/crashoscillogrampacket.h"
#include "device/deviceinfo.h"
#include "device/faulttext.h"
#include "device/oscillogramcsv.h"
#include "exchange/deviceconnection.h"
#include "exchange/eventdispatch.h"
#include "plots/crashplot.h"
#include "storage/datadirectory.h"
#include "ui/maincontrol.h"
#include "ui/plotexport.h"
#include "ui/savefolder.h"

#include <QAction>
#include <QDateTime>
#include <QGridLayout>
#include <QLabel>

TabCrashCurve::TabCrashCurve(MainControl *main, QWidget *parent)
    : QWidget(parent), mainControl(main)
{
    setObjectName(QStringLiteral("tabCrashCurve"));
    auto *grid = new QGridLayout(this);
    // Never seen: the tab is enabled only once an oscillogram has filled them.
    faultLabel = new QLabel(QStringLiteral("crash text"), this);
    faultLabel->setObjectName(QStringLiteral("crashFaultLabel"));
    timeLabel = new QLabel(QStringLiteral("crash time"), this);
    timeLabel->setObjectName(QStringLiteral("crashTimeLabel"));
    crashPlot = new CrashPlot(this);
    grid->addWidget(faultLabel, 0, 0);
    grid->addWidget(timeLabel, 1, 0);
    grid->addWidget(crashPlot, 2, 0);
    setupContextMenu();
}

TabCrashCurve::~TabCrashCurve() = default;

void TabCrashCurve::setupContextMenu()
{
    PlotExport::addContextMenu(crashPlot, PlotExport::DataText([this] {
        const CrashOscillogramPacket *shown = lastOscillogram();
        return shown ? OscillogramCsv::text(*shown) : OscillogramCsv::header();
    }));
    PlotExport::setFileName(crashPlot, [this] { return exportName(); });
    auto *comtrade = new QAction(tr("Экспорт COMTRADE..."), crashPlot);
    comtrade->setObjectName(QStringLiteral("exportComtradeAction"));
    crashPlot->addAction(comtrade);
    connect(comtrade, &QAction::triggered, this, &TabCrashCurve::onExportComtrade);
}

void TabCrashCurve::onDataEvent(const DataEvent *event)
{
    EventDispatch::visit(*event, EventHandlers {
        [this](const CrashEventOscillogramGet &e) { onOscillogram(e); },
        [this](const DataEvent &e) {
            if (e.type() == DataEvent::Connected)
                onConnected();
        }});
}

void TabCrashCurve::onConnected()
{
    if (const DeviceInfo *device = mainControl->currentDevice()) {
        crashPlot->setAnchorValue(device->minRatedCurrent);
        recorder = ComtradeWriter::deviceId(*device);
        deviceAddress = device->address;
    }
}

void TabCrashCurve::onOscillogram(const CrashEventOscillogramGet &event)
{
    const CrashOscillogramPacket *block = event.packet();
    if (!block)
        return;
    crashPlot->setData(*block);
    faultLabel->setText(faultText(block->faultCode()));
    const QDateTime time = QDateTime::fromSecsSinceEpoch(block->tripTime()).toLocalTime();
    timeLabel->setText(time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
}

const CrashOscillogramPacket *TabCrashCurve::lastOscillogram() const
{
    return mainControl->connection().oscillogram();
}

quint32 TabCrashCurve::tripTime() const
{
    const CrashOscillogramPacket *shown = lastOscillogram();
    return shown ? shown->tripTime() : 0;
}

quint16 TabCrashCurve::faultCode() const
{
    const CrashOscillogramPacket *shown = lastOscillogram();
    return shown ? shown->faultCode() : 0;
}

bool TabCrashCurve::exportComtrade(const QString &basePath) const
{
    const CrashOscillogramPacket *shown = lastOscillogram();
    if (!shown)
        return false;
    const ComtradeWriter writer(*shown, recorder);
    return DataDirectory::writeFile(basePath + QLatin1String(ComtradeWriter::kConfigSuffix), writer.configuration())
        && DataDirectory::writeFile(basePath + QLatin1String(ComtradeWriter::kDataSuffix), writer.data());
}

QString TabCrashCurve::exportName() const
{
    const QString address = deviceAddress > 0 ? QString::number(deviceAddress) : QString();
    const QDateTime time = QDateTime::fromSecsSinceEpoch(tripTime()).toLocalTime();
    return SaveFolder::name({tr("Осциллограмма"), address, faultText(faultCode())}, time);
}

void TabCrashCurve::onExportComtrade()
{
    const QString suffix = QLatin1String(ComtradeWriter::kConfigSuffix);
    QString base = PlotExport::askFileName(this, tr("Экспорт COMTRADE"), tr("COMTRADE (*.cfg)"), exportName() + suffix);
    if (base.isEmpty())
        return;
    if (base.endsWith(suffix, Qt::CaseInsensitive))
        base.chop(suffix.size());
    if (!exportComtrade(base))
        PlotExport::warnNotWritten(this, base + suffix);
}
