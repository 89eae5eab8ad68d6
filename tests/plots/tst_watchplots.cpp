// Axis ranges, window trimming, titles, legend switching, tracker texts and point
// selection, and the line width of the two plots.
#include "plots/samplebuffer.h"
#include "plots/tempplot.h"
#include "plots/timescaledraw.h"
#include "plots/watchplot.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_item.h>
#include <qwt_plot_picker.h>
#include <qwt_plot_renderer.h>
#include <qwt_scale_div.h>

#include <QtTest>

#include <ctime>

namespace {
constexpr quint32 kT0 = 0x12345678; // 22:51:36 UTC

// Samples "i,i,i/u,u,u;..." as comma lists per sample, one second apart.
void feedWatch(WatchPlot &plot, const QString &samples)
{
    quint32 t = kT0;
    for (const QString &s : samples.split(QLatin1Char(';'))) {
        const QStringList parts = s.split(QLatin1Char('/'));
        const QStringList i = parts.at(0).split(QLatin1Char(','));
        const QStringList u = parts.at(1).split(QLatin1Char(','));
        const double currents[3] = {i[0].toDouble(), i[1].toDouble(), i[2].toDouble()};
        const double voltages[3] = {u[0].toDouble(), u[1].toDouble(), u[2].toDouble()};
        plot.addSampleAt(t++, currents, voltages);
    }
}

void addWatchAt(WatchPlot &plot, quint32 t, double current, double voltage)
{
    const double currents[3] = {current, current, current};
    const double voltages[3] = {voltage, voltage, voltage};
    plot.addSampleAt(t, currents, voltages);
}

// The range the axis shows at the next paint.
QPair<double, double> range(const QwtPlot &plot, int axis)
{
    const_cast<QwtPlot &>(plot).updateAxes();
    const QwtScaleDiv &div = plot.axisScaleDiv(axis);
    return qMakePair(div.lowerBound(), div.upperBound());
}

QwtLegendLabel *legendLabel(const QwtPlot &plot, QwtPlotItem *item)
{
    auto *legend = qobject_cast<const QwtLegend *>(plot.legend());
    return legend ? qobject_cast<QwtLegendLabel *>(legend->legendWidget(plot.itemToInfo(item))) : nullptr;
}

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &at, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The pixels of one column of the image within 40 of the colour in every channel.
int pixelsNear(const QImage &image, int x, const QColor &colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        if (qAbs(c.red() - colour.red()) < 40 && qAbs(c.green() - colour.green()) < 40
            && qAbs(c.blue() - colour.blue()) < 40)
            ++count;
    }
    return count;
}
} // namespace

class TestWatchPlots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void initialAxes();
    void watchAxes_data();
    void watchAxes();
    void watchAxisCountsLeavingSample();
    void trimming_data();
    void trimming();
    void timeAxisFollowsNewest();
    void watchTitles_data();
    void watchTitles();
    void tempAxes_data();
    void tempAxes();
    void tempTitles();
    void legendSwitchesOneCurve_data();
    void legendSwitchesOneCurve();
    void trackerTexts();
    void clickSelectsPoint_data();
    void clickSelectsPoint();
    void linesStayThinWhenScaled();
    void copies();
    void copyOfEmptyPlots();
    void samplesShownOnce();
    void dataFileTimes();
    void restartEmpties();
};

void TestWatchPlots::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TestWatchPlots::initialAxes()
{
    WatchPlot live;
    TempPlot temp;
    QCOMPARE(range(live, QwtPlot::yLeft), qMakePair(0.0, 400.0));
    QCOMPARE(range(live, QwtPlot::yRight), qMakePair(0.0, 400.0));
    QCOMPARE(range(live, QwtPlot::xBottom), qMakePair(0.0, 100.0));
    QCOMPARE(range(temp, QwtPlot::yLeft), qMakePair(0.0, 100.0));
    QCOMPARE(range(temp, QwtPlot::yRight), qMakePair(0.0, 150.0));
    QVERIFY(live.axisEnabled(QwtPlot::yRight));
    QCOMPARE(live.axisTitle(QwtPlot::yLeft).text(), QString("Ток (А)"));
    QCOMPARE(temp.axisTitle(QwtPlot::yRight).text(), QString("Расчётный нагрев (%)"));
    QCOMPARE(live.interval(), 60);
    QCOMPARE(temp.interval(), 60);
}

void TestWatchPlots::watchAxes_data()
{
    QTest::addColumn<QString>("samples");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");

    QTest::newRow("small values keep minimum tops") << "5,8,9.9/100,120,149" << 10.0 << 150.0;
    QTest::newRow("current 20, voltage 400") << "20,3,4/400,0,0" << 21.0 << 420.0;
    QTest::newRow("exactly the minimum gets the margin") << "10,0,0/150,0,0" << 10.5 << 157.5;
    QTest::newRow("largest of all phases and samples") << "1,2,30/0,0,200;4,5,6/300,1,1" << 31.5 << 315.0;
}

void TestWatchPlots::watchAxes()
{
    QFETCH(QString, samples);
    QFETCH(double, left);
    QFETCH(double, right);
    WatchPlot plot;
    feedWatch(plot, samples);
    QCOMPARE(range(plot, QwtPlot::yLeft), qMakePair(0.0, left));
    QCOMPARE(range(plot, QwtPlot::yRight), qMakePair(0.0, right));
}

void TestWatchPlots::watchAxisCountsLeavingSample()
{
    WatchPlot plot;
    addWatchAt(plot, kT0, 50.0, 300.0);
    addWatchAt(plot, kT0 + 66, 1.0, 1.0); // trims the first sample, after scaling
    QCOMPARE(plot.samples().size(), 1);
    QCOMPARE(range(plot, QwtPlot::yLeft), qMakePair(0.0, 52.5));
    QCOMPARE(range(plot, QwtPlot::yRight), qMakePair(0.0, 315.0));
    addWatchAt(plot, kT0 + 67, 1.0, 1.0);
    QCOMPARE(range(plot, QwtPlot::yLeft), qMakePair(0.0, 10.0));
    QCOMPARE(range(plot, QwtPlot::yRight), qMakePair(0.0, 150.0));
}

void TestWatchPlots::trimming_data()
{
    QTest::addColumn<bool>("live");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("kept");

    QTest::newRow("live, 65 s keeps the oldest") << true << 60 << 65 << 2;
    QTest::newRow("live, 66 s removes the oldest") << true << 60 << 66 << 1;
    QTest::newRow("live, day window") << true << 89940 << 89945 << 2;
    QTest::newRow("live, day window + 1") << true << 89940 << 89946 << 1;
    QTest::newRow("temperature, 60 s keeps the oldest") << false << 60 << 60 << 2;
    QTest::newRow("temperature, 61 s removes the oldest") << false << 60 << 61 << 1;
}

void TestWatchPlots::trimming()
{
    QFETCH(bool, live);
    QFETCH(int, interval);
    QFETCH(int, gap);
    WatchPlot watch;
    TempPlot temp;
    watch.setInterval(interval);
    temp.setInterval(interval);
    if (live) {
        addWatchAt(watch, kT0, 1, 1);
        addWatchAt(watch, kT0 + quint32(gap), 1, 1);
    } else {
        temp.addSampleAt(kT0, 1, 1);
        temp.addSampleAt(kT0 + quint32(gap), 1, 1);
    }
    const SampleBuffer &held = live ? watch.samples() : temp.samples();
    QTEST(held.size(), "kept");
    QCOMPARE(held.newestTime(), double(kT0 + quint32(gap)));
}

void TestWatchPlots::timeAxisFollowsNewest()
{
    WatchPlot watch;
    TempPlot temp;
    watch.setInterval(120);
    addWatchAt(watch, kT0, 1, 1);
    temp.addSampleAt(kT0 + 5, 1, 1);
    QCOMPARE(range(watch, QwtPlot::xBottom), qMakePair(double(kT0) - 120, double(kT0)));
    QCOMPARE(range(temp, QwtPlot::xBottom), qMakePair(double(kT0) + 5 - 60, double(kT0 + 5)));
}

void TestWatchPlots::watchTitles_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("curve");
    QTest::addColumn<QString>("title");

    QTest::newRow("scale 1: no decimal") << 1 << 0 << "Ток A:   12";
    QTest::newRow("scale 10: one decimal") << 10 << 0 << "Ток A: 12.0";
    QTest::newRow("scale 2: one decimal") << 2 << 2 << "Ток C: 12.6";
    QTest::newRow("scale 1: C rounds") << 1 << 2 << "Ток C:   13";
    QTest::newRow("scale 0: no decimal") << 0 << 0 << "Ток A:   12";
    QTest::newRow("voltage B") << 10 << 4 << "Напряжение B:  381";
}

void TestWatchPlots::watchTitles()
{
    QFETCH(int, scale);
    QFETCH(int, curve);
    WatchPlot plot;
    plot.setCurrentScale(CurrentScale(scale));
    feedWatch(plot, "12,0,12.6/380,381,379");
    QTEST(plot.curve(curve)->title().text(), "title");
}

void TestWatchPlots::tempAxes_data()
{
    QTest::addColumn<QList<double>>("temperatures");
    QTest::addColumn<QList<double>>("heating");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("heatingTop");

    QTest::newRow("0..100 keeps minimum") << QList<double>{20, 80} << QList<double>{10, 140} << 0.0 << 100.0 << 150.0;
    QTest::newRow("120 without margin") << QList<double>{120} << QList<double>{0} << 0.0 << 120.0 << 150.0;
    QTest::newRow("open sensor 999") << QList<double>{25, 999} << QList<double>{0, 0} << 0.0 << 999.0 << 150.0;
    QTest::newRow("short sensor -99") << QList<double>{-99, 25} << QList<double>{0, 0} << -99.0 << 100.0 << 150.0;
    QTest::newRow("zero is a bottom") << QList<double>{0} << QList<double>{0} << 0.0 << 100.0 << 150.0;
    QTest::newRow("heating 180") << QList<double>{25} << QList<double>{180} << 0.0 << 100.0 << 180.0;
}

void TestWatchPlots::tempAxes()
{
    QFETCH(QList<double>, temperatures);
    QFETCH(QList<double>, heating);
    QFETCH(double, bottom);
    QFETCH(double, top);
    QFETCH(double, heatingTop);
    TempPlot plot;
    for (int i = 0; i < temperatures.size(); ++i)
        plot.addSampleAt(kT0 + quint32(i), temperatures[i], heating[i]);
    QCOMPARE(range(plot, QwtPlot::yLeft), qMakePair(bottom, top));
    QCOMPARE(range(plot, QwtPlot::yRight), qMakePair(0.0, heatingTop));
}

void TestWatchPlots::tempTitles()
{
    TempPlot plot;
    plot.addSampleAt(kT0, 36.9, 87.6);
    QCOMPARE(plot.curve(TempPlot::Temperature)->title().text(), QString("Температура: 36°C"));
    QCOMPARE(plot.curve(TempPlot::Heating)->title().text(), QString("Нагрев: 87%"));
    plot.addSampleAt(kT0 + 1, -99, 0);
    QCOMPARE(plot.curve(TempPlot::Temperature)->title().text(), QString("Температура: -99°C"));
}

void TestWatchPlots::legendSwitchesOneCurve_data()
{
    QTest::addColumn<bool>("live");
    QTest::addColumn<int>("curve");

    QTest::newRow("current A") << true << 0;
    QTest::newRow("voltage C") << true << 5;
    QTest::newRow("heating") << false << 1;
}

void TestWatchPlots::legendSwitchesOneCurve()
{
    QFETCH(bool, live);
    QFETCH(int, curve);
    WatchPlot watch;
    TempPlot temp;
    QwtPlot &plot = live ? static_cast<QwtPlot &>(watch) : temp;
    const int count = live ? WatchPlot::kCurves : int(TempPlot::ColumnCount);
    auto item = [&](int i) { return live ? watch.curve(i) : temp.curve(i); };
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    QwtLegendLabel *label = legendLabel(plot, item(curve));
    QVERIFY(label);
    QVERIFY(label->isChecked());

    QTest::mouseClick(label, Qt::LeftButton);
    for (int i = 0; i < count; ++i)
        QCOMPARE(item(i)->isVisible(), i != curve);
    QVERIFY(!label->isChecked());

    QTest::mouseClick(label, Qt::LeftButton);
    for (int i = 0; i < count; ++i)
        QVERIFY(item(i)->isVisible());
    QVERIFY(label->isChecked());
}

void TestWatchPlots::trackerTexts()
{
    WatchPlot watch;
    TempPlot temp;
    watch.resize(600, 300);
    temp.resize(600, 300);
    watch.show();
    temp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&watch));
    QVERIFY(QTest::qWaitForWindowExposed(&temp));
    addWatchAt(watch, kT0, 1, 1); // axes 0..10 and 0..150
    temp.addSampleAt(kT0, 20, 10); // axes 0..100 and 0..150
    QCOMPARE(watch.trackerText(QPointF(kT0, 5.0)), QString("Ток: 5.0 Напряжение: 75.0 22:51:36"));
    QCOMPARE(temp.trackerText(QPointF(kT0 - 1, 50.4)),
             QString("Температура: 50°C\n Расчётный нагрев: 75%\n22:51:35"));
}

void TestWatchPlots::clickSelectsPoint_data()
{
    QTest::addColumn<bool>("live");
    QTest::newRow("live plot") << true;
    QTest::newRow("temperature plot") << false;
}

// A press selects the point under the mouse at once; moving on with the button
// held and letting go neither moves it nor selects a second one.
void TestWatchPlots::clickSelectsPoint()
{
    QFETCH(bool, live);
    WatchPlot watch;
    TempPlot temp;
    QwtPlot &plot = live ? static_cast<QwtPlot &>(watch) : temp;
    plot.resize(600, 300);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    addWatchAt(watch, kT0, 1, 1);
    temp.addSampleAt(kT0, 20, 10);
    QWidget *canvas = plot.canvas();
    auto *picker = canvas->findChild<QwtPlotPicker *>();
    QVERIFY(picker);
    QSignalSpy selected(picker, qOverload<const QPointF &>(&QwtPlotPicker::selected));
    const QPoint press(canvas->width() / 4, canvas->height() / 4);
    const QPoint release(canvas->width() * 3 / 4, canvas->height() * 3 / 4);

    sendMouse(canvas, QEvent::MouseButtonPress, press, Qt::LeftButton);
    QCOMPARE(selected.count(), 1);
    sendMouse(canvas, QEvent::MouseMove, release, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, release, Qt::NoButton);
    QCOMPARE(selected.count(), 1);
    const QPointF point = selected.at(0).at(0).toPointF();
    QCOMPARE(qRound(plot.canvasMap(QwtPlot::xBottom).transform(point.x())), press.x());
    QCOMPARE(qRound(plot.canvasMap(QwtPlot::yLeft).transform(point.y())), press.y());
}

// Drawn scaled, as into a report at printer resolution, a curve keeps one device
// pixel: a wider line would hide the grid and the neighbouring phases.
void TestWatchPlots::linesStayThinWhenScaled()
{
    constexpr int kScale = 3;
    TempPlot plot;
    for (quint32 t = 0; t <= 60; ++t)
        plot.addSampleAt(kT0 + t, 50, 0); // a level line half way up the temperature axis
    plot.curve(TempPlot::Heating)->setVisible(false);
    QImage image(900 * kScale, 400 * kScale, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.scale(kScale, kScale);
        QwtPlotRenderer().render(&plot, &painter, QRectF(0, 0, 900, 400));
    }
    // The line spans the whole time axis; the legend sits right of the canvas.
    QCOMPARE(pixelsNear(image, image.width() * 2 / 5, QColor(QStringLiteral("#FF9933"))), 1);
}

void TestWatchPlots::copies()
{
    WatchPlot watch;
    watch.setInterval(300);
    watch.setCurrentScale(CurrentScale(2));
    feedWatch(watch, "20,3,4/400,0,0");
    const WatchPlot watchCopy(watch);
    QCOMPARE(watchCopy.interval(), 300);
    QCOMPARE(watchCopy.samples().size(), 1);
    QCOMPARE(range(watchCopy, QwtPlot::yLeft), qMakePair(0.0, 20.0)); // no margin in the copy
    QCOMPARE(range(watchCopy, QwtPlot::yRight), qMakePair(0.0, 400.0));
    QCOMPARE(range(watchCopy, QwtPlot::xBottom), qMakePair(double(kT0) - 300, double(kT0)));
    QCOMPARE(watchCopy.curve(0)->title().text(), QString("Ток A: 20.0"));

    TempPlot temp;
    temp.setInterval(90);
    temp.addSampleAt(kT0, -99, 180);
    const TempPlot tempCopy(temp);
    QCOMPARE(tempCopy.interval(), 90);
    QCOMPARE(range(tempCopy, QwtPlot::yLeft), qMakePair(0.0, 100.0)); // always from 0
    QCOMPARE(range(tempCopy, QwtPlot::yRight), qMakePair(0.0, 180.0));
    QCOMPARE(tempCopy.curve(TempPlot::Temperature)->title().text(), QString("Температура: -99°C"));
    // The copies keep their own samples.
    addWatchAt(watch, kT0 + 1, 1, 1);
    QCOMPARE(watchCopy.samples().size(), 1);
}

void TestWatchPlots::copyOfEmptyPlots()
{
    const WatchPlot watch;
    const TempPlot temp;
    const WatchPlot watchCopy(watch);
    const TempPlot tempCopy(temp);
    QCOMPARE(watchCopy.samples().size(), 0);
    QCOMPARE(range(watchCopy, QwtPlot::yLeft), qMakePair(0.0, 400.0));
    QCOMPARE(range(tempCopy, QwtPlot::yLeft), qMakePair(0.0, 100.0));
}

// The report's way: samples handed over whole, drawn as they are, never trimmed.
void TestWatchPlots::samplesShownOnce()
{
    SampleBuffer older(WatchPlot::kCurves);
    const double first[WatchPlot::kCurves] = {50, 1, 1, 500, 1, 1};
    older.append(kT0 - 1000, first);
    WatchPlot plot;
    plot.setInterval(120);
    plot.setCurrentScale(CurrentScale(2));
    plot.showSamples(older);
    SampleBuffer samples(WatchPlot::kCurves);
    const double low[WatchPlot::kCurves] = {3, 4, 5, 200, 210, 220};
    const double high[WatchPlot::kCurves] = {20, 4, 5, 400, 210, 220};
    samples.append(kT0 - 500, high); // far left of the interval: kept, it still counts for the axes
    samples.append(kT0, low);
    plot.showSamples(samples); // replaces what was shown
    QCOMPARE(plot.samples().size(), 2);
    QCOMPARE(plot.samples().oldestTime(), double(kT0 - 500));
    QCOMPARE(range(plot, QwtPlot::yLeft), qMakePair(0.0, 20.0)); // no headroom
    QCOMPARE(range(plot, QwtPlot::yRight), qMakePair(0.0, 400.0));
    QCOMPARE(range(plot, QwtPlot::xBottom), qMakePair(double(kT0) - 120, double(kT0)));
    QCOMPARE(plot.curve(0)->title().text(), QString("Ток A:  3.0"));

    TempPlot temp;
    temp.showSamples(SampleBuffer(TempPlot::ColumnCount)); // nothing: the initial axes stay
    QCOMPARE(range(temp, QwtPlot::yLeft), qMakePair(0.0, TempPlot::kMinTemperatureTop));
    QCOMPARE(range(temp, QwtPlot::yRight), qMakePair(0.0, TempPlot::kMinHeatingTop));
}

// The export's time column: date and time of day, local, to the second.
void TestWatchPlots::dataFileTimes()
{
    QCOMPARE(TimeScaleDraw::dateAndTime(kT0), QString("05.09.1979 22:51:36"));
    QCOMPARE(TimeScaleDraw::dateAndTime(kT0 + 0.9), QString("05.09.1979 22:51:36"));
}

void TestWatchPlots::restartEmpties()
{
    WatchPlot plot;
    feedWatch(plot, "1,1,1/1,1,1;2,2,2/2,2,2");
    plot.restart();
    QCOMPARE(plot.samples().size(), 0);
    QCOMPARE(range(plot, QwtPlot::xBottom), qMakePair(0.0, 100.0));
    addWatchAt(plot, kT0 + 1000, 3, 3);
    QCOMPARE(plot.samples().size(), 1);
}

QTEST_MAIN(TestWatchPlots)
#include "tst_watchplots.moc"
