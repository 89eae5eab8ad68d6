// Every plot's context menu: the picture in three formats and the curves as shown,
// saved through the menu's actions and the file dialog a user fills in.
#include "tests/ui/modalanswer.h"

#include "device/crashoscillogrampacket.h"
#include "plots/crashplot.h"
#include "plots/runconfigplot.h"
#include "plots/tempplot.h"
#include "plots/timescaledraw.h"
#include "plots/watchplot.h"
#include "ui/plotexport.h"

#include <qwt_plot_curve.h>

#include <QAction>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QtTest>

#include <ctime>

namespace {

constexpr quint32 kT0 = 1700000000; // 22:13:20 UTC

void triggerSaving(QWidget *plot, const char *actionName, const QString &fileName)
{
    answerNextFileDialog(fileName);
    QAction *action = plot->findChild<QAction *>(actionName);
    QVERIFY2(action, actionName);
    action->trigger();
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::unique_ptr<QwtPlot> makePlot(const QString &kind)
{
    if (kind == "watch") {
        auto plot = std::make_unique<WatchPlot>();
        const double i[3] = {10, 11, 12}, u[3] = {380, 381, 382};
        plot->addSampleAt(kT0, i, u);
        plot->addSampleAt(kT0 + 1, i, u);
        PlotExport::addContextMenu(plot.get(), &TimeScaleDraw::dateAndTime); // as the watch tab adds it
        return plot;
    }
    if (kind == "temperature") {
        auto plot = std::make_unique<TempPlot>();
        plot->addSampleAt(kT0, 21, 5);
        PlotExport::addContextMenu(plot.get(), &TimeScaleDraw::dateAndTime);
        return plot;
    }
    if (kind == "characteristic") {
        auto plot = std::make_unique<RunConfigPlot>();
        plot->setCurrentScale(2);
        ProtectionSettings s;
        s.ratedCurrent = 200;
        s.doubleOverloadTime = 30;
        plot->setProtectionSettings(s);
        plot->buildProtectionGraph(RunConfigPlot::BuildMode::Synchronous);
        PlotExport::addContextMenu(plot.get()); // as the characteristic tab adds it
        return plot;
    }
    auto plot = std::make_unique<CrashPlot>();
    plot->setData(CrashOscillogramPacket());
    PlotExport::addContextMenu(plot.get()); // the crash tab adds its own data
    return plot;
}

} // namespace

class TestPlotExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void imageFormats_data();
    void imageFormats();
    void liveCurvesAsShown();
    void characteristicCurvesAsShown();
    void unwritablePlace();
};

void TestPlotExport::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestPlotExport::imageFormats_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("suffix");

    for (const char *kind : {"watch", "temperature", "characteristic", "oscillogram"})
        for (const char *suffix : {"png", "svg", "pdf"})
            QTest::newRow(qPrintable(QString("%1 %2").arg(kind, suffix))) << QString(kind) << QString(suffix);
}

void TestPlotExport::imageFormats()
{
    QFETCH(QString, kind);
    QFETCH(QString, suffix);
    std::unique_ptr<QwtPlot> plot = makePlot(kind);
    plot->resize(500, 300);
    QTemporaryDir dir;
    const QString path = dir.filePath("plot." + suffix);
    triggerSaving(plot.get(), "saveImageAction", path);
    const QByteArray bytes = contents(path);
    if (suffix == "png") {
        const QImage image = QImage::fromData(bytes, "PNG");
        QCOMPARE(image.size(), QSize(500, 300));
    } else if (suffix == "svg") {
        QVERIFY(bytes.contains("<svg") && bytes.contains("</svg>"));
    } else {
        QVERIFY(bytes.startsWith("%PDF-") && bytes.contains("%%EOF"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {"plot." + suffix}); // no scratch left behind
}

// Samples outside the time window and hidden curves are not what the plot shows.
void TestPlotExport::liveCurvesAsShown()
{
    WatchPlot plot;
    plot.setInterval(60);
    const double i[3] = {1, 2, 3}, u[3] = {380, 381, 382};
    plot.addSampleAt(kT0, i, u);
    plot.addSampleAt(kT0 + 63, i, u); // the first is kept (trim slack) but left of the window
    PlotExport::addContextMenu(&plot, &TimeScaleDraw::dateAndTime);
    for (int c = 1; c < 6; ++c)
        plot.showCurve(plot.curve(c), false);
    QTemporaryDir dir;
    triggerSaving(&plot, "saveDataAction", dir.filePath("live.csv"));
    const QStringList rows = QString::fromUtf8(contents(dir.filePath("live.csv"))).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], QString("Кривая,Время,Значение,Ось значений"));
    QCOMPARE(rows[1], QString("Ток A:    1,14.11.2023 22:14:23,1,Ток (А)"));
}

void TestPlotExport::characteristicCurvesAsShown()
{
    std::unique_ptr<QwtPlot> plot = makePlot("characteristic");
    const QByteArray csv = PlotExport::curvesCsv(plot.get());
    const QStringList rows = QString::fromUtf8(csv).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(rows[0], QString("Кривая,Ток (А),Значение,Ось значений"));
    QCOMPARE(rows.size(), 1 + 107 + 2); // the start characteristic is empty
    // Overload multiple 0 and reaction time 0: the first 10 ms cycle trips, 3 x 3333 us.
    QCOMPARE(rows[1], QString("Характеристика защит,1,0.009999,Время (с)"));
    QCOMPARE(rows.last(), QString("Номинальный ток,100,100000,Время (с)"));
}

void TestPlotExport::unwritablePlace()
{
    std::unique_ptr<QwtPlot> plot = makePlot("watch");
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!PlotExport::saveImage(plot.get(), dir.filePath("file/plot.png"))); // a file where a folder must be
}

QTEST_MAIN(TestPlotExport)
#include "tst_plotexport.moc"
