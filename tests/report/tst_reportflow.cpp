// The report button of the window connected to a simulated device: the file dialog
// as the user meets it, the document made from what the window shows, "Отчёт готов"
// only for a complete file, and a warning naming the file when it cannot be written.
#include "app/mainwindow.h"
#include "device/deviceinfo.h"
#include "plots/runconfigplot.h"
#include "plots/watchplot.h"
#include "report/reportbuilder.h"
#include "sim/simulator.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "storage/portmap.h"
#include "tests/report/pdfdocument.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"
#include "tests/ui/modalanswer.h"
#include "ui/characteristics/tabcharcurve.h"
#include "ui/characteristics/tabcrashcurve.h"
#include "ui/watch/tabwatch.h"

#include <qwt_plot_curve.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

namespace {

constexpr int kPortNumber = 62;
constexpr int kWaitMs = 15000;
constexpr int kProtectionPoints = 107;
const SimDeviceConfig kDevice {1, 70, 0, 19200, 2, 10};


// What the file dialog showed, and the answer typed into it (empty: cancelled).
struct DialogSeen {
    QString title;
    QStringList filters;
    QString directory;
    QString proposedName;
    QElapsedTimer answered;
};

void answerFileDialog(DialogSeen &seen, const QString &fileName)
{
    answerNextModal([&seen, fileName](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        seen.title = dialog->windowTitle();
        seen.filters = dialog->nameFilters();
        seen.directory = dialog->directory().absolutePath();
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        seen.proposedName = name->text();
        seen.answered.start();
        if (fileName.isEmpty()) {
            static_cast<QDialog *>(dialog)->reject();
            return;
        }
        name->setText(fileName); // typed as a user would
        static_cast<QDialog *>(dialog)->accept();
    });
}

} // namespace

class TestReportFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void writesTheReport();
    void unwritableTargetIsReported();
    void cancelledWritesNothing();

private:
    // Connected, with samples, the start record, the protection curve and the oscillogram shown.
    bool connectAndWait(MainWindow &w);
    QStringList messagesOfReport(MainWindow &w, DialogSeen &seen, const QString &fileName);

    QTemporaryDir dir;
    Simulator sim;
};

void TestReportFlow::initTestCase()
{
    DataDirectory::setOverride(dir.path());
    qputenv("ORBIX_PORTS", "");
    sim.addDevice(kDevice);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    PortMap::bindForSession(kPortNumber, sim.linkPath());
}

void TestReportFlow::cleanupTestCase()
{
    sim.stop();
}

bool TestReportFlow::connectAndWait(MainWindow &w)
{
    AppSettings::instance().lastReportDir = dir.path(); // after the window loaded the settings
    w.setTiming(testTiming());
    w.connectDevice(SimIdentity::of(kDevice, kPortNumber));
    const RunConfigPlot *curve = w.tabCharCurve()->plot();
    const bool ok = QTest::qWaitFor([&] {
        return w.reportButton()->isEnabled() && w.tabWatch()->watchPlot()->samples().size() >= 2
            && w.tabCrashCurve()->faultCode() != 0
            && curve->curve(RunConfigPlot::ProtectionCurve)->dataSize() == size_t(kProtectionPoints)
            && curve->curve(RunConfigPlot::StartCurve)->dataSize() > 0;
    }, kWaitMs);
    if (!ok)
        qWarning("not ready: report button %d, samples %d, fault %d, protection points %d, start points %d", w.reportButton()->isEnabled(),
                 int(w.tabWatch()->watchPlot()->samples().size()), int(w.tabCrashCurve()->faultCode()),
                 int(curve->curve(RunConfigPlot::ProtectionCurve)->dataSize()),
                 int(curve->curve(RunConfigPlot::StartCurve)->dataSize()));
    return ok;
}

// Every status message from the click on the report button to the end of its flow.
QStringList TestReportFlow::messagesOfReport(MainWindow &w, DialogSeen &seen, const QString &fileName)
{
    QStringList messages;
    auto connection = connect(w.statusBar(), &QStatusBar::messageChanged, this,
                              [&messages](const QString &text) { messages << text; });
    answerFileDialog(seen, fileName);
    w.reportButton()->click();
    disconnect(connection);
    return messages;
}

void TestReportFlow::writesTheReport()
{
    // A 5-50 A device (2 counts per ampere) at 16 A on every phase.
    for (int reg : {42, 43, 44})
        sim.setRegisterValue(kDevice.address, reg, 32);
    MainWindow w;
    QVERIFY(connectAndWait(w));
    const WatchPlot *live = w.tabWatch()->watchPlot();
    QVERIFY(QTest::qWaitFor([&] { return live->samples().newest(0) == 16.0; }, kWaitMs));
    QCOMPARE(live->curve(0)->title().text(), QString("Ток A: 16.0"));
    QCOMPARE(live->curve(2)->title().text(), QString("Ток C: 16.0"));
    const QString path = dir.filePath("Отчёт насоса.pdf");
    DialogSeen seen;
    const QStringList messages = messagesOfReport(w, seen, path);
    const qint64 afterDialogMs = seen.answered.elapsed();
    QCOMPARE(seen.title, QString("Сохранить отчёт"));
    QCOMPARE(seen.filters, QStringList {"PDF (*.pdf)"});
    QCOMPARE(seen.directory, dir.path());
    QVERIFY2(QRegularExpression("^Отчёт \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d-\\d\\d\\.pdf$").match(seen.proposedName).hasMatch(),
             qPrintable(seen.proposedName));
    QCOMPARE(messages, (QStringList {"Генерация отчёта...", "Отчёт готов"}));
    QCOMPARE(AppSettings::instance().lastReportDir, dir.path());
    qInfo("report written %lld ms after the file dialog was answered", afterDialogMs);

    // The document holds what the window shows.
    const QMarginsF margins = ReportBuilder::pageMargins() * (72 / 25.4);
    const PdfDocument pdf(path, QPointF(margins.left(), margins.top()));
    QVERIFY2(pdf.isValid(), qPrintable(pdf.error()));
    QVERIFY(!pdf.findAll(0, QString("ОРБИКС-11 5-50 v0.70 / 1 / 19 200 / 8E1 / COM%1").arg(kPortNumber)).isEmpty());
    const QString rated = QString::number(sim.registerValue(kDevice.address, 5) / 2.0, 'f', 1) + "А";
    QVERIFY2(!pdf.findNear(0, rated, QPointF(300, 52)).isNull(), qPrintable(rated));
    QVERIFY2(!pdf.findAll(0, "Ток A: 16.0").isEmpty(), qPrintable(pdf.linesAt(0, 0).join(" | ")));
    QVERIFY(pdf.findAll(0, "Ток A: 32").isEmpty());
    const QString crash = QString("(%1)").arg(w.tabCrashCurve()->faultCode());
    QVERIFY(pdf.findNear(1, "Авария:", QPointF(0, 420)).bottom() > 420);
    QVERIFY(!pdf.linesAt(1, 0).filter(crash).isEmpty());
    // The newest entry of the protocol, under the crash section: the window's own.
    const QRectF connected = pdf.findNear(1, "Подключение", QPointF(120, 888));
    QVERIFY(connected.top() < 888 && connected.bottom() >= 888);
    w.disconnectDevice();
    sim.releaseRegisters(kDevice.address);
}

void TestReportFlow::unwritableTargetIsReported()
{
    MainWindow w;
    QVERIFY(connectAndWait(w));
    const QString path = "/proc/report.pdf"; // not even root may create a file there
    DialogSeen seen;
    const QStringList messages = messagesOfReport(w, seen, path);
    QVERIFY(!messages.contains("Отчёт готов"));
    QCOMPARE(messages.last(), QString("Отчёт не записан"));
    auto *warning = w.findChild<QMessageBox *>("reportWarning");
    QVERIFY(warning);
    QVERIFY2(warning->text().contains(path), qPrintable(warning->text()));
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(AppSettings::instance().lastReportDir, dir.path());
    w.disconnectDevice();
}

void TestReportFlow::cancelledWritesNothing()
{
    MainWindow w;
    QVERIFY(connectAndWait(w));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    DialogSeen seen;
    QVERIFY(messagesOfReport(w, seen, QString()).isEmpty());
    QCOMPARE(seen.title, QString("Сохранить отчёт")); // the dialog was shown
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    w.disconnectDevice();
}

QTEST_MAIN(TestReportFlow)
#include "tst_reportflow.moc"
