#include "app/reportflow.h"

#include "app/mainwindow.h"
#include "device/crashoscillogrampacket.h"
#include "device/packetfactory.h"
#include "exchange/dataeventget.h"
#include "exchange/datathread.h"
#include "exchange/eventdispatch.h"
#include "plots/runconfigplot.h"
#include "plots/tempplot.h"
#include "plots/watchplot.h"
#include "report/reportbuilder.h"
#include "report/reportdata.h"
#include "ui/characteristics/tabcharcurve.h"
#include "ui/characteristics/tabcrashcurve.h"
#include "ui/savefolder.h"
#include "ui/watch/tabwatch.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>

ReportFlow::ReportFlow(MainWindow &w) : window(w) {}

ReportFlow::~ReportFlow() = default;

void ReportFlow::onDataEvent(const DataEvent *event)
{
    EventDispatch::visit(*event, EventHandlers {
        [this](const DataEventGet &e) {
            if (const WatchDataPacket *block = e.packet())
                monitoring.reset(block->clone());
        },
        [this](const DataEvent &e) {
            if (e.type() == DataEvent::Connected)
                monitoring.reset();
        }});
}

QString ReportFlow::proposedFileName()
{
    return SaveFolder::current() + tr("/Отчёт ")
        + QDateTime::currentDateTime().toString(QLatin1String(SaveFolder::kDateFormat)) + QStringLiteral(".pdf");
}

void ReportFlow::run()
{
    if (!window.dataThread())
        return;
    const QString fileName =
        QFileDialog::getSaveFileName(&window, tr("Сохранить отчёт"), proposedFileName(), tr("PDF (*.pdf)"));
    if (fileName.isEmpty())
        return;
    window.showStatus(tr("Генерация отчёта..."), kStartStatusMs);
    window.statusBar()->repaint(); // the document is built before the event loop runs again
    if (!write(fileName))
        return;
    SaveFolder::remember(fileName);
    window.showStatus(tr("Отчёт готов"), kReadyStatusMs);
}

bool ReportFlow::write(const QString &fileName)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ReportData reportData = data();
    ReportBuilder builder(fileName, reportData);
    const bool written = builder.build();
    QApplication::restoreOverrideCursor();
    if (!written)
        warnNotWritten(fileName, builder.failureText());
    return written;
}

// Blocks that have not arrived yet are shown as the exchange holds them before its
// first read: all zero. The plots are drawn from what the tabs' plots hold.
ReportData ReportFlow::data() const
{
    const DataThread *thread = window.dataThread();
    ReportData d;
    d.device = thread->device();
    d.version = d.device.modification;
    d.monitoring = monitoring ? std::unique_ptr<WatchDataPacket>(monitoring->clone()) : PacketFactory::monitoring(d.version);
    const ConfigPacket *configuration = window.configuration();
    d.configuration =
        configuration ? std::unique_ptr<ConfigPacket>(configuration->clone()) : PacketFactory::configuration(d.version);
    d.protocol = &window.protocol();
    const WatchPlot *live = window.tabWatch()->watchPlot();
    d.liveSamples = live->samples();
    d.temperatureSamples = window.tabWatch()->tempPlot()->samples();
    d.plotInterval = live->interval();
    const RunConfigPlot *characteristic = window.tabCharCurve()->plot();
    d.protection = characteristic->protectionSettings();
    d.startCharacteristic = characteristic->startCharacteristic();
    d.currentAxis = characteristic->currentAxisScale();
    const CrashOscillogramPacket *oscillogram = window.tabCrashCurve()->lastOscillogram();
    if (oscillogram && oscillogram->tripTime() != 0)
        d.oscillogram.reset(oscillogram->clone());
    return d;
}

// Not modal to the event flow: the warning waits while the connection goes on.
void ReportFlow::warnNotWritten(const QString &fileName, const QString &reason)
{
    window.showStatus(tr("Отчёт не записан"), 0);
    const QString text = tr("Отчёт не записан в файл %1:\n%2").arg(QDir::toNativeSeparators(fileName), reason);
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Отчёт"), text, QMessageBox::Ok, &window);
    box->setObjectName(QStringLiteral("reportWarning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
