// The oscillogram tab and its plot: labels, values and axes, the anchor, the legend,
// the tracker, the copy for the report, and the COMTRADE and CSV exports of the tab.
#include "tests/ui/fakemaincontrol.h"
#include "tests/ui/modalanswer.h"

#include "device/crashoscillogrampacket.h"
#include "device/packetregisters.h"
#include "exchange/crasheventoscillogramget.h"
#include "plots/crashplot.h"
#include "ui/characteristics/tabcrashcurve.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <ctime>

namespace {

// Header registers 301..305, then sample k of channel c from pattern(c, k).
CrashOscillogramPacket oscillogramOf(quint32 trip, quint16 code, quint16 currentScale, quint16 voltageScale,
                                     const std::function<qint16(int, int)> &pattern)
{
    CrashOscillogramPacket p;
    const quint16 header[] = {quint16(trip & 0xFFFF), quint16(trip >> 16), code, currentScale, voltageScale};
    PacketRegisters::fill(p, [&](quint32 reg) {
        if (reg <= 305)
            return header[reg - 301];
        const int index = int(reg) - 306;
        return quint16(pattern(index / 64, index % 64));
    });
    return p;
}

qint16 ramp(int c, int k)
{
    return qint16((c + 1) * (k - 32));
}

QPair<double, double> range(QwtPlot &plot, int axis)
{
    plot.updateAxes();
    const QwtScaleDiv &div = plot.axisScaleDiv(axis);
    return qMakePair(div.lowerBound(), div.upperBound());
}

QwtLegendLabel *legendLabel(const QwtPlot &plot, QwtPlotItem *item)
{
    auto *legend = qobject_cast<const QwtLegend *>(plot.legend());
    return legend ? qobject_cast<QwtLegendLabel *>(legend->legendWidget(plot.itemToInfo(item))) : nullptr;
}

void deliver(FakeMainControl &main, TabCrashCurve &tab, const CrashOscillogramPacket &p)
{
    main.send(tab, CrashEventOscillogramGet(p));
}

QAction *action(QWidget *plot, const char *name)
{
    return plot->findChild<QAction *>(name);
}

// Triggers a menu action and names the file in the dialog it opens.
void triggerSaving(QAction *action, const QString &fileName)
{
    answerNextFileDialog(fileName);
    action->trigger();
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCrashCurve : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void plotSetup();
    void values_data();
    void values();
    void anchorKeepsAxesOpen();
    void labels_data();
    void labels();
    void otherEventsIgnored();
    void legendSwitchesOneCurve();
    void trackerText_data();
    void trackerText();
    void copyShowsTheSame();
    void exportsFromTheMenu();
    void nothingToExportBeforeAnOscillogram();

private:
    FakeMainControl main;
    DeviceInfo device;
};

void TestCrashCurve::initTestCase()
{
    qputenv("TZ", "MSK-3");
    tzset();
    device.minRatedCurrent = 5.0f;
    device.maxRatedCurrent = 50.0f;
    device.modification = 70;
    device.currentScale = 2;
    device.address = 1;
}

void TestCrashCurve::init()
{
    main.reset();
    main.connectDevice(device);
}

void TestCrashCurve::plotSetup()
{
    CrashPlot plot;
    const QStringList titles {"Ток A", "Ток B", "Ток C", "Напряжение A", "Напряжение B", "Напряжение C"};
    const QStringList colours {"#ff9933", "#339933", "#ff0000", "#ff99ff", "#3399ff", "#ff00ff"};
    for (int i = 0; i < CrashPlot::kCurves; ++i) {
        QwtPlotCurve *c = plot.curve(i);
        QCOMPARE(c->title().text(), titles[i]);
        QCOMPARE(c->pen().color().name(), colours[i]);
        QCOMPARE(c->yAxis(), i < 3 ? int(QwtPlot::yLeft) : int(QwtPlot::yRight));
        if (i > 0)
            QVERIFY(c->z() < plot.curve(i - 1)->z()); // each below the one before
        QVERIFY(legendLabel(plot, c)->isChecked());
    }
    QCOMPARE(range(plot, QwtPlot::xBottom), qMakePair(-26.7, -0.4171875));
    QVERIFY(plot.axisEnabled(QwtPlot::yRight));
    QCOMPARE(plot.axisTitle(QwtPlot::xBottom).text(), QString("Время (мс)"));
    QCOMPARE(plot.minimumWidth(), 360);
}

void TestCrashCurve::values_data()
{
    QTest::addColumn<quint16>("currentScale");
    QTest::addColumn<quint16>("voltageScale");

    QTest::newRow("scale words 256: raw samples") << quint16(256) << quint16(256);
    QTest::newRow("scale words 512 and 128") << quint16(512) << quint16(128);
}

void TestCrashCurve::values()
{
    QFETCH(quint16, currentScale);
    QFETCH(quint16, voltageScale);
    CrashPlot plot;
    plot.setAnchorValue(2.5);
    plot.setData(oscillogramOf(1, 31, currentScale, voltageScale, ramp));
    for (int c = 0; c < 6; ++c) {
        const QwtPlotCurve *curve = plot.curve(c);
        QCOMPARE(curve->dataSize(), size_t(65));
        QCOMPARE(curve->sample(0), QPointF(-30.0, 2.5));
        const double scale = (c < 3 ? currentScale : voltageScale) / 256.0;
        for (int k = 0; k < 64; ++k) {
            QCOMPARE(curve->sample(k + 1).x(), -0.4171875 * (64 - k));
            QCOMPARE(curve->sample(k + 1).y(), ramp(c, k) * scale);
        }
    }
}

void TestCrashCurve::anchorKeepsAxesOpen()
{
    CrashPlot plot;
    plot.setAnchorValue(5.0);
    plot.setData(oscillogramOf(1, 31, 256, 256, [](int, int) { return qint16(0); }));
    for (int axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
        const auto r = range(plot, axis);
        QVERIFY2(r.first <= -5.0 && r.second >= 5.0, qPrintable(QString("%1..%2").arg(r.first).arg(r.second)));
        QCOMPARE(r.first, -r.second); // symmetric about 0
    }
}

void TestCrashCurve::labels_data()
{
    QTest::addColumn<quint16>("code");
    QTest::addColumn<quint32>("trip");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("time");

    QTest::newRow("overcurrent") << quint16(31) << quint32(1700000000)
                                 << "Перегрузка по току (среднебыстродействующая защита)" << "15.11.2023 01:13:20";
    QTest::newRow("code without text, trip time 0 in local time") << quint16(5) << quint32(0) << ""
                                                                   << "01.01.1970 03:00:00";
}

void TestCrashCurve::labels()
{
    QFETCH(quint16, code);
    QFETCH(quint32, trip);
    TabCrashCurve tab(&main);
    QCOMPARE(tab.faultCode(), quint16(0));
    QCOMPARE(tab.tripTime(), quint32(0));
    main.send(tab, DataEvent(DataEvent::Connected));
    deliver(main, tab, oscillogramOf(trip, code, 256, 256, ramp));
    QTEST(tab.findChild<QLabel *>("crashFaultLabel")->text(), "text");
    QTEST(tab.findChild<QLabel *>("crashTimeLabel")->text(), "time");
    QCOMPARE(tab.faultCode(), code);
    QCOMPARE(tab.tripTime(), trip);
    QCOMPARE(tab.plot()->anchorValue(), 5.0); // the connected device's lowest rated current
    QCOMPARE(tab.plot()->curve(0)->sample(0).y(), 5.0);
}

void TestCrashCurve::otherEventsIgnored()
{
    TabCrashCurve tab(&main);
    for (qint32 type : {0, 2, 3, 6, 15, 16, 18})
        main.send(tab, DataEvent(DataEvent::Type(type))); // a payload code without its payload
    QCOMPARE(tab.findChild<QLabel *>("crashFaultLabel")->text(), QString("crash text"));
    QCOMPARE(tab.plot()->curve(0)->dataSize(), size_t(0));
}

void TestCrashCurve::legendSwitchesOneCurve()
{
    CrashPlot plot;
    plot.setData(oscillogramOf(1, 31, 256, 256, ramp));
    QwtPlotCurve *voltageB = plot.curve(4);
    QwtLegendLabel *label = legendLabel(plot, voltageB);
    label->setChecked(false);
    emit label->checked(false); // as a click on the legend item does
    for (int i = 0; i < 6; ++i)
        QCOMPARE(plot.curve(i)->isVisible(), i != 4);
    QVERIFY(!label->isChecked());
    label->setChecked(true);
    emit label->checked(true);
    for (int i = 0; i < 6; ++i)
        QVERIFY(plot.curve(i)->isVisible());
    plot.showCurve(voltageB, false); // the slot itself keeps the legend in step
    QVERIFY(!label->isChecked());
}

void TestCrashCurve::trackerText_data()
{
    QTest::addColumn<QPointF>("position");
    QTest::addColumn<QString>("text");

    QTest::newRow("whole milliseconds, rounded") << QPointF(-12.6, 0.0) << "Ток: 0.0 Напряжение: 0.0\n-13мс";
    QTest::newRow("no minus sign for zero") << QPointF(-0.4, 0.04) << "Ток: 0.0 Напряжение: 0.0\n0мс";
    QTest::newRow("first sample") << QPointF(-26.7, 0.0) << "Ток: 0.0 Напряжение: 0.0\n-27мс";
}

// The voltage is read at the height of the current on the right axis; both axes
// are symmetric, so the middle of the canvas is 0 on both.
void TestCrashCurve::trackerText()
{
    QFETCH(QPointF, position);
    CrashPlot plot;
    plot.resize(600, 400);
    plot.setAxisScale(QwtPlot::yLeft, -10, 10);
    plot.setAxisScale(QwtPlot::yRight, -0.1, 0.1);
    plot.replot();
    QTEST(plot.trackerText(position), "text");
}

void TestCrashCurve::copyShowsTheSame()
{
    CrashPlot source;
    source.setAnchorValue(7.0);
    source.setData(oscillogramOf(1, 31, 300, 200, ramp));
    source.setAnchorValue(9.0); // taken by the next data only
    const CrashPlot copy(source);
    QCOMPARE(copy.anchorValue(), 9.0);
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(copy.curve(c)->dataSize(), size_t(65));
        for (int i = 0; i < 65; ++i)
            QCOMPARE(copy.curve(c)->sample(i), source.curve(c)->sample(i));
    }
}

void TestCrashCurve::exportsFromTheMenu()
{
    TabCrashCurve tab(&main);
    main.send(tab, DataEvent(DataEvent::Connected));
    const CrashOscillogramPacket block = oscillogramOf(1700000000, 31, 300, 256, ramp);
    deliver(main, tab, block);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    triggerSaving(action(tab.plot(), "exportComtradeAction"), dir.filePath("trip.cfg"));
    const QList<QByteArray> cfg = contents(dir.filePath("trip.cfg")).split('\n');
    QCOMPARE(cfg.value(0), QByteArray("ORBIKS-11,ORBIKS-11 5.0-50.0 v0.7/1,1999\r"));
    QCOMPARE(cfg.value(2).split(',').value(5), QByteArray("1.171875")); // 300 / 256
    const QList<QByteArray> dat = contents(dir.filePath("trip.dat")).split('\n');
    QCOMPARE(dat.size(), 65); // 64 rows and the end of the last
    QCOMPARE(dat.value(63).split(',').value(7).trimmed(), QByteArray::number(ramp(5, 63)));

    triggerSaving(action(tab.plot(), "saveDataAction"), dir.filePath("trip.csv"));
    const QList<QByteArray> csv = contents(dir.filePath("trip.csv")).split('\n');
    QCOMPARE(csv.size(), 66);
    QCOMPARE(csv.value(1).trimmed(), QByteArray("-26.7,-37.5,-75,-112.5,-128,-160,-192")); // k = 0: (c + 1) x -32
}

void TestCrashCurve::nothingToExportBeforeAnOscillogram()
{
    TabCrashCurve tab(&main);
    QTemporaryDir dir;
    QVERIFY(!tab.exportComtrade(dir.filePath("none")));
    QVERIFY(!QFile::exists(dir.filePath("none.cfg")));
}

QTEST_MAIN(TestCrashCurve)
#include "tst_crashcurve.moc"
