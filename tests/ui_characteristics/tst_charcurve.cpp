// The characteristic tab and its plot: the start record, the auto-setup gate, the
// protection curve built in a worker thread or at once for a copy, a second request
// during a build, settings that arrive during one, a plot destroyed during one, and
// the current-axis modes.
#include "tests/ui/fakemaincontrol.h"
#include "tests/ui/modalanswer.h"

#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protectioncharacteristic.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "exchange/configevent.h"
#include "exchange/runconfigeventget.h"
#include "exchange/runconfigeventprogress.h"
#include "plots/runconfigplot.h"
#include "plots/worker.h"
#include "ui/characteristics/tabcharcurve.h"
#include "ui/styles.h"

#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>
#include <qwt_scale_engine.h>

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <ctime>

namespace {

constexpr int kBuildWaitMs = 10000;

ProtectionSettings settingsOf(quint16 rated, quint16 doubleOverloadTime, bool fast)
{
    ProtectionSettings s;
    s.ratedCurrent = rated;
    s.minCurrent = 20;
    s.overloadMultiple = 5;
    s.doubleOverloadTime = doubleOverloadTime;
    s.fastProtection = fast;
    s.overloadReactionTime = 100;
    s.brokenPhasesAllowed = 0;
    return s;
}

// The block as the device sends it: registers 5, 6, 7, 9, 13, 14, 15.
std::unique_ptr<ConfigPacket> configOf(const ProtectionSettings &s)
{
    auto block = PacketFactory::configuration(70);
    const std::pair<quint32, quint16> regs[] = {{5, s.ratedCurrent}, {6, s.minCurrent}, {7, s.overloadMultiple},
        {9, s.doubleOverloadTime}, {13, quint16(s.fastProtection)}, {14, s.overloadReactionTime},
        {15, s.brokenPhasesAllowed}};
    for (const auto &r : regs)
        if (!PacketRegisters::write(*block, r.first, r.second))
            qFatal("register %u not in the configuration", r.first);
    return block;
}

CurvePoints pointsOf(const QwtPlotCurve *curve)
{
    CurvePoints p;
    for (size_t i = 0; i < curve->dataSize(); ++i) {
        p.x << curve->sample(int(i)).x();
        p.y << curve->sample(int(i)).y();
    }
    return p;
}

CurvePoints expectedCurve(const ProtectionSettings &s, int scale)
{
    CurvePoints p;
    if (!ProtectionCharacteristic::build(s, scale, p))
        qFatal("not built");
    return p;
}

QPair<double, double> range(RunConfigPlot &plot, int axis)
{
    plot.updateAxes();
    const QwtScaleDiv &div = plot.axisScaleDiv(axis);
    return qMakePair(div.lowerBound(), div.upperBound());
}

bool waitBuilt(RunConfigPlot &plot)
{
    return QTest::qWaitFor([&plot] { return !plot.isBuilding(); }, kBuildWaitMs);
}

RunConfigProgressPacket progressOf(quint16 state, quint16 accumulation, quint16 completeness)
{
    RunConfigProgressPacket p;
    if (!PacketRegisters::write(p, 199, state) || !PacketRegisters::write(p, 200, accumulation)
        || !PacketRegisters::write(p, 204, completeness))
        qFatal("progress registers");
    return p;
}

} // namespace

class TestCharCurve : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void layout();
    void autoSetupGate_data();
    void autoSetupGate();
    void startRecord_data();
    void startRecord();
    void otherEventsIgnored();
    void autoSetupNeedsAccessCode_data();
    void autoSetupNeedsAccessCode();
    void configBuildsWithDeviceScale();
    void threadedBuildEqualsSampleModel();
    void secondRequestIgnored();
    void newerSettingsBuiltOnceMore();
    void tabButtonWaitsForLastBuild();
    void stoppedWorkerDeliversNothing();
    void destroyedWhileBuilding();
    void copyBuildsAtOnce();
    void axisModes_data();
    void axisModes();

private:
    FakeMainControl main;
};

void TestCharCurve::initTestCase()
{
    qputenv("TZ", "MSK-3"); // three hours east of UTC, without daylight saving
    tzset();
}

void TestCharCurve::init()
{
    main.reset();
    main.accessCode = false;
    main.focusRequests = 0;
    main.autoSetupRequests = 0;
}

void TestCharCurve::layout()
{
    TabCharCurve tab(&main);
    auto *record = tab.findChild<QLabel *>("charRecordTimeLabel");
    QCOMPARE(record->text(), QString("Время записи пусковой характеристики:"));
    for (const char *name : {"charCompletenessBar", "charAccumulationBar"}) {
        auto *bar = tab.findChild<QProgressBar *>(name);
        QCOMPARE(bar->maximum(), 65535);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->format(), QString("%p%"));
        QCOMPARE(bar->styleSheet(), Styles::progressBar());
    }
    QVERIFY(!tab.findChild<QPushButton *>("autoSetupButton")->isEnabled());
    QCOMPARE(tab.findChild<QPushButton *>("updatePlotButton")->text(), QString("Обновить график"));
    RunConfigPlot *plot = tab.plot();
    QCOMPARE(range(*plot, QwtPlot::yLeft), qMakePair(0.001, 600.0));
    QCOMPARE(range(*plot, QwtPlot::xBottom), qMakePair(0.1, 15.0));
    QCOMPARE(plot->axisTitle(QwtPlot::yLeft).text(), QString("Время (с)"));
    QCOMPARE(plot->axisTitle(QwtPlot::xBottom).text(), QString("Ток (А)"));
    QCOMPARE(plot->curve(RunConfigPlot::ProtectionCurve)->pen().color(), QColor("#0000FF"));
    QCOMPARE(plot->curve(RunConfigPlot::RatedCurve)->pen().color(), QColor("#FF0000"));
    QCOMPARE(plot->curve(RunConfigPlot::StartCurve)->baseline(), 0.001);
}

void TestCharCurve::autoSetupGate_data()
{
    QTest::addColumn<quint16>("state");
    QTest::addColumn<quint16>("completeness");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("6553 is under a tenth") << quint16(0) << quint16(6553) << false;
    QTest::newRow("6554 is a tenth") << quint16(0) << quint16(6554) << true;
    QTest::newRow("state 1 keeps it disabled") << quint16(1) << quint16(65535) << false;
    QTest::newRow("state 2, a tenth") << quint16(2) << quint16(6554) << true;
    QTest::newRow("other state word, full") << quint16(7) << quint16(65535) << true;
}

void TestCharCurve::autoSetupGate()
{
    QFETCH(quint16, state);
    QFETCH(quint16, completeness);
    TabCharCurve tab(&main);
    tab.onDataEvent(std::make_unique<RunConfigEventProgress>(progressOf(state, 30000, completeness)).get());
    QTEST(tab.findChild<QPushButton *>("autoSetupButton")->isEnabled(), "enabled");
    QCOMPARE(tab.findChild<QProgressBar *>("charAccumulationBar")->value(), 30000);
    // The record's completeness bar follows the record, not the progress block.
    QCOMPARE(tab.findChild<QProgressBar *>("charCompletenessBar")->value(), 0);
}

void TestCharCurve::startRecord_data()
{
    QTest::addColumn<quint32>("time");
    QTest::addColumn<quint16>("timeWord");
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("seconds");

    QTest::newRow("time 0 in local time, zero words at 0.001 s")
        << quint32(0) << quint16(0) << "Время записи пусковой характеристики: 01.01.1970 03:00:00" << 0.001;
    QTest::newRow("2023, 2.5 s") << quint32(1700000000) << quint16(250)
                                 << "Время записи пусковой характеристики: 15.11.2023 01:13:20" << 2.5;
}

void TestCharCurve::startRecord()
{
    QFETCH(quint32, time);
    QFETCH(quint16, timeWord);
    QFETCH(double, seconds);
    TabCharCurve tab(&main);
    RunConfigPacket record(2);
    PacketRegisters::fill(record, [&](quint32 reg) {
        const quint16 header[] = {quint16(time & 0xFFFF), quint16(time >> 16), 100, 40000}; // 201..204
        return reg < 205 ? header[reg - 201] : timeWord;
    });
    tab.onDataEvent(std::make_unique<RunConfigEventGet>(record).get());
    QTEST(tab.findChild<QLabel *>("charRecordTimeLabel")->text(), "label");
    QCOMPARE(tab.findChild<QProgressBar *>("charCompletenessBar")->value(), 40000);
    const CurvePoints start = pointsOf(tab.plot()->curve(RunConfigPlot::StartCurve));
    QCOMPARE(start.x.size(), 32);
    for (int i = 0; i < 32; ++i) {
        QCOMPARE(start.x[i], 50.0 * RunConfigPacket::kCurrentLevels[i]); // base 100 counts at 2 per ampere
        QCOMPARE(start.y[i], seconds);
    }
}

void TestCharCurve::otherEventsIgnored()
{
    TabCharCurve tab(&main);
    main.connectDevice(DeviceInfo {});
    for (qint32 type : {0, 2, 3, 4, 5, 7, 17, 18})
        tab.onDataEvent(std::make_unique<DataEvent>(DataEvent::Type(type)).get()); // a payload code without its payload
    QVERIFY(!tab.plot()->isBuilding());
    QCOMPARE(tab.findChild<QPushButton *>("updatePlotButton")->text(), QString("Обновить график"));
}

void TestCharCurve::autoSetupNeedsAccessCode_data()
{
    QTest::addColumn<bool>("code");
    QTest::newRow("with a code: asked") << true;
    QTest::newRow("without: warned, focused") << false;
}

void TestCharCurve::autoSetupNeedsAccessCode()
{
    QFETCH(bool, code);
    main.accessCode = code;
    TabCharCurve tab(&main);
    QString warning;
    if (!code) {
        answerNextModal([&warning](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            warning = box ? box->windowTitle() + "|" + box->text() : QString("not a message box");
            modal->close();
        });
    }
    tab.onBtnAutoSetupClicked();
    QCOMPARE(main.autoSetupRequests, code ? 1 : 0);
    QCOMPARE(main.focusRequests, code ? 0 : 1);
    QCOMPARE(warning, code ? QString() : QString("Настройка|Для этой операции необходимо ввести пароль."));
}

void TestCharCurve::configBuildsWithDeviceScale()
{
    TabCharCurve tab(&main);
    DeviceInfo device;
    device.currentScale = 10;
    main.connectDevice(device);
    tab.onDataEvent(std::make_unique<DataEvent>(DataEvent::Connected).get());
    const ProtectionSettings s = settingsOf(123, 30, true);
    QSignalSpy finished(tab.plot(), &RunConfigPlot::buildProtectionGraphFinished);
    tab.onDataEvent(std::make_unique<ConfigEvent>(*configOf(s), ConfigEvent::Read).get());
    auto *button = tab.findChild<QPushButton *>("updatePlotButton");
    QCOMPARE(button->text(), QString("Обновление графика..."));
    QVERIFY(!button->isEnabled());
    QVERIFY(finished.wait(kBuildWaitMs));
    QCOMPARE(button->text(), QString("Обновить график"));
    QVERIFY(button->isEnabled());
    const CurvePoints rated = pointsOf(tab.plot()->curve(RunConfigPlot::RatedCurve));
    QCOMPARE(rated.x, QVector<double>({12.3, 12.3}));
    QCOMPARE(rated.y, QVector<double>({0.001, 100000.0}));
    const CurvePoints curve = pointsOf(tab.plot()->curve(RunConfigPlot::ProtectionCurve));
    QCOMPARE(curve.x.last(), 14.5 * 12.3);
}

// The plot's curve, built in its thread, against the device's protection run sample by sample.
void TestCharCurve::threadedBuildEqualsSampleModel()
{
    const ProtectionSettings s = settingsOf(200, 30, true);
    RunConfigPlot plot;
    plot.setCurrentScale(2);
    plot.setProtectionSettings(s);
    QSignalSpy finished(&plot, &RunConfigPlot::buildProtectionGraphFinished);
    plot.buildProtectionGraph();
    QVERIFY(plot.isBuilding());
    QVERIFY(finished.wait(kBuildWaitMs));
    const CurvePoints curve = pointsOf(plot.curve(RunConfigPlot::ProtectionCurve));
    ProtectionModel model(s);
    const QVector<int> steps = ProtectionCharacteristic::percentSteps();
    QCOMPARE(curve.y.size(), steps.size());
    for (int i = 0; i < steps.size(); ++i) {
        QCOMPARE(curve.x[i], 0.01 * steps[i] * 100.0);
        QCOMPARE(curve.y[i], model.tripTime(quint16(10 * steps[i])) * 0.000001);
    }
    QCOMPARE(range(plot, QwtPlot::xBottom), qMakePair(1.0, 1450.0)); // logarithmic: first to last x
}

void TestCharCurve::secondRequestIgnored()
{
    RunConfigPlot plot;
    plot.setCurrentScale(2);
    plot.setProtectionSettings(settingsOf(200, 30, true));
    QSignalSpy finished(&plot, &RunConfigPlot::buildProtectionGraphFinished);
    plot.buildProtectionGraph();
    plot.buildProtectionGraph();
    QVERIFY(finished.wait(kBuildWaitMs));
    QVERIFY(!plot.isBuilding()); // no second build was queued behind the first
    QCOMPARE(finished.size(), 1);
}

void TestCharCurve::newerSettingsBuiltOnceMore()
{
    RunConfigPlot plot;
    plot.setCurrentScale(2);
    plot.setProtectionSettings(settingsOf(200, 30, true));
    QSignalSpy finished(&plot, &RunConfigPlot::buildProtectionGraphFinished);
    plot.buildProtectionGraph();
    const ProtectionSettings newer = settingsOf(300, 200, false);
    plot.setProtectionSettings(newer); // the build runs until this thread returns to its loop
    plot.buildProtectionGraph();       // ignored, the newer settings are built anyway
    QVERIFY(waitBuilt(plot));
    QCOMPARE(finished.size(), 1); // one end for the engineer: the last build's
    const CurvePoints curve = pointsOf(plot.curve(RunConfigPlot::ProtectionCurve));
    const CurvePoints expected = expectedCurve(newer, 2);
    QCOMPARE(curve.x, expected.x);
    QCOMPARE(curve.y, expected.y);
    QCOMPARE(pointsOf(plot.curve(RunConfigPlot::RatedCurve)).x, QVector<double>({150.0, 150.0}));
}

void TestCharCurve::tabButtonWaitsForLastBuild()
{
    TabCharCurve tab(&main);
    DeviceInfo device;
    device.currentScale = 2;
    main.connectDevice(device);
    tab.onDataEvent(std::make_unique<DataEvent>(DataEvent::Connected).get());
    auto *button = tab.findChild<QPushButton *>("updatePlotButton");
    QSignalSpy finished(tab.plot(), &RunConfigPlot::buildProtectionGraphFinished);
    tab.onDataEvent(std::make_unique<ConfigEvent>(*configOf(settingsOf(200, 30, true)), ConfigEvent::Read).get());
    const ProtectionSettings written = settingsOf(240, 60, true);
    tab.onDataEvent(std::make_unique<ConfigEvent>(*configOf(written), ConfigEvent::Written).get());
    QVERIFY(!button->isEnabled());
    QVERIFY(finished.wait(kBuildWaitMs));
    QVERIFY(button->isEnabled());
    QVERIFY(!tab.plot()->isBuilding());
    QCOMPARE(pointsOf(tab.plot()->curve(RunConfigPlot::ProtectionCurve)).y, expectedCurve(written, 2).y);
}

void TestCharCurve::stoppedWorkerDeliversNothing()
{
    RunConfigPlot plot;
    plot.setCurrentScale(2);
    QSignalSpy finished(&plot, &RunConfigPlot::buildProtectionGraphFinished);
    const std::atomic<bool> stop {true};
    Worker(&plot, settingsOf(200, 30, true), 2, &stop).buildGraph(); // in the plot's thread: a direct delivery
    QCOMPARE(finished.size(), 0);
    QCOMPARE(plot.curve(RunConfigPlot::ProtectionCurve)->dataSize(), size_t(0));
    const std::atomic<bool> go {false};
    Worker(&plot, settingsOf(200, 30, true), 2, &go).buildGraph();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(plot.curve(RunConfigPlot::ProtectionCurve)->dataSize(), size_t(107));
}

// The destructor asks the build to stop and waits: nothing reaches the freed plot
// afterwards (the address sanitizer build sees any late touch).
void TestCharCurve::destroyedWhileBuilding()
{
    for (int i = 0; i < 20; ++i) {
        auto plot = std::make_unique<RunConfigPlot>();
        plot->setCurrentScale(2);
        plot->setProtectionSettings(settingsOf(200, quint16(100 + i), true));
        plot->buildProtectionGraph();
        QVERIFY(plot->isBuilding());
        plot.reset();
        QCoreApplication::sendPostedEvents(); // a result posted before the stop is dropped with the plot
    }
    RunConfigPlot survivor; // the program goes on building
    survivor.setCurrentScale(2);
    survivor.setProtectionSettings(settingsOf(200, 30, true));
    survivor.buildProtectionGraph();
    QVERIFY(waitBuilt(survivor));
    QCOMPARE(survivor.curve(RunConfigPlot::ProtectionCurve)->dataSize(), size_t(107));
}

void TestCharCurve::copyBuildsAtOnce()
{
    RunConfigPlot source(CurrentAxis::Linear);
    const ProtectionSettings s = settingsOf(200, 30, true);
    source.setCurrentScale(2);
    source.setProtectionSettings(s);
    CurvePoints start;
    start.x = {1.0, 2.0};
    start.y = {0.5, 0.001};
    source.setStartCharacteristic(start);
    const RunConfigPlot copy(source); // keeps the source's mode
    QVERIFY(!copy.isBuilding());
    QCOMPARE(copy.currentScale(), 2);
    QVERIFY(!copy.currentAxisLogarithmic());
    QCOMPARE(pointsOf(copy.curve(RunConfigPlot::StartCurve)).x, start.x);
    QCOMPARE(pointsOf(copy.curve(RunConfigPlot::StartCurve)).y, start.y);
    QCOMPARE(pointsOf(copy.curve(RunConfigPlot::ProtectionCurve)).y, expectedCurve(s, 2).y);
    QCOMPARE(pointsOf(copy.curve(RunConfigPlot::RatedCurve)).x, QVector<double>({100.0, 100.0}));
    QCOMPARE(source.curve(RunConfigPlot::ProtectionCurve)->dataSize(), size_t(0)); // the source is left alone
}

void TestCharCurve::axisModes_data()
{
    QTest::addColumn<bool>("built");
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");

    QTest::newRow("logarithmic, nothing built") << false << true << 0.1 << 15.0;
    QTest::newRow("linear, nothing built") << false << false << 0.1 << 15.0;
    QTest::newRow("logarithmic after a build") << true << true << 0.08 << 1450.0;
    QTest::newRow("linear after a build") << true << false << 0.0 << 1450.0;
}

void TestCharCurve::axisModes()
{
    QFETCH(bool, built);
    QFETCH(bool, logarithmic);
    TabCharCurve tab(&main);
    RunConfigPlot *plot = tab.plot();
    if (built) {
        plot->setCurrentScale(2);
        plot->setProtectionSettings(settingsOf(200, 30, true));
        plot->buildProtectionGraph(RunConfigPlot::BuildMode::Synchronous);
    }
    tab.setCurrentAxisScale(logarithmic ? CurrentAxis::Logarithmic : CurrentAxis::Linear);
    QCOMPARE(plot->currentAxisLogarithmic(), logarithmic);
    const bool logEngine = dynamic_cast<const QwtLogScaleEngine *>(plot->axisScaleEngine(QwtPlot::xBottom));
    QCOMPARE(logEngine, logarithmic);
    const auto r = range(*plot, QwtPlot::xBottom);
    QTEST(r.first, "low");
    QTEST(r.second, "high");
}

QTEST_MAIN(TestCharCurve)
#include "tst_charcurve.moc"
