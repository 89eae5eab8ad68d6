// The traffic monitor opened from the main window on a simulated line: the faults of
// the line in its rows and statistics and in the link indicator's tooltip; frames
// leave the exchange only while the monitor is open.
#include "app/mainwindow.h"
#include "exchange/datathread.h"
#include "exchange/linkstatisticsevent.h"
#include "exchange/trafficevent.h"
#include "sim/simulator.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "storage/portmap.h"
#include "tests/testtiming.h"
#include "ui/monitor/linkstatisticstext.h"
#include "ui/monitor/trafficmodel.h"
#include "ui/monitor/trafficmonitor.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {
// The device of modification 80 that the simulated line holds at address 3.
const SimDeviceConfig kLineDevice {3, 80, 0, 19200, 1, 50};
constexpr int kWaitMs = 15000;

DeviceInfo lineDeviceAt(int port)
{
    DeviceInfo d;
    d.address = kLineDevice.address;
    d.baudRate = 19200;
    d.portNumber = port;
    d.modification = kLineDevice.modification;
    d.currentScale = 1;
    d.minRatedCurrent = 50;
    d.maxRatedCurrent = 500;
    return d;
}

bool hasRow(const TrafficModel &model, TrafficRow::Kind kind)
{
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.rowAt(r).kind == kind)
            return true;
    return false;
}

int rowsAfter(const TrafficModel &model, qint64 timeMs)
{
    int n = 0;
    for (int r = 0; r < model.rowCount(); ++r)
        n += model.rowAt(r).timeMs > timeMs ? 1 : 0;
    return n;
}

TrafficMonitor *openMonitor(MainWindow &w)
{
    auto *button = w.findChild<QToolButton *>(QStringLiteral("trafficMonitorButton"));
    if (!button || button->toolTip() != QStringLiteral("Монитор обмена"))
        return nullptr;
    QTest::mouseClick(button, Qt::LeftButton);
    return w.trafficMonitor() && w.trafficMonitor()->isVisible() ? w.trafficMonitor() : nullptr;
}
} // namespace

class TestMonitorWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void indicatorToolTip();
    void lineFaultsSeen_data();
    void lineFaultsSeen();
    void framesOnlyWhileOpen();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestMonitorWindow::init()
{
    dir = std::make_unique<QTemporaryDir>();
    DataDirectory::setOverride(dir->path());
    qputenv("ORBIX_PORTS", ""); // no bindings of the machine's own
    AppSettings::instance() = AppSettings();
}

void TestMonitorWindow::cleanup()
{
    dir.reset();
}

void TestMonitorWindow::indicatorToolTip()
{
    MainWindow w;
    QVERIFY(w.linkIndicator()->toolTip().isEmpty());
    LinkStatistics counts;
    counts.requests = 7;
    counts.timeouts = 2;
    const DataEvent connected(DataEvent::Connected);
    w.onDataEvent(&connected);
    const LinkStatisticsEvent statistics(counts);
    w.onDataEvent(&statistics);
    QCOMPARE(w.linkIndicator()->toolTip(), LinkStatisticsText::toolTip(counts));
    QVERIFY(w.linkIndicator()->toolTip().startsWith(QStringLiteral("Статистика линии с начала соединения:\nЗапросов: 7\n")));
    const TrafficEvent frame(FrameRecord {});
    w.onDataEvent(&frame); // no monitor yet: nothing to show it in
    QVERIFY(!w.trafficMonitor());
    const DataEvent disconnected(DataEvent::Disconnected);
    w.onDataEvent(&disconnected);
    QVERIFY(w.linkIndicator()->toolTip().isEmpty());
}

void TestMonitorWindow::lineFaultsSeen_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("count");
    QTest::newRow("time-out") << int(SimFault::NoReply) << int(TrafficRow::Timeout) << "Нет ответа (тайм-аутов): 1";
    QTest::newRow("CRC error") << int(SimFault::BadCrc) << int(TrafficRow::CrcError) << "Ошибок CRC: 1";
}

// The monitor is open before the connection starts: the connection sends its frames.
void TestMonitorWindow::lineFaultsSeen()
{
    QFETCH(int, fault);
    QFETCH(int, kind);
    QFETCH(QString, count);
    Simulator sim;
    sim.addDevice(kLineDevice);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    PortMap::bindForSession(59, sim.linkPath());
    MainWindow w;
    w.setTiming(testTiming());
    TrafficMonitor *monitor = openMonitor(w);
    QVERIFY(monitor);
    w.connectDevice(lineDeviceAt(59));
    const TrafficModel &rows = *monitor->model();
    QVERIFY(QTest::qWaitFor([&] { return hasRow(rows, TrafficRow::Reply); }, kWaitMs));
    QVERIFY(!hasRow(rows, TrafficRow::Kind(kind)));

    SimFault once;
    once.kind = SimFault::Kind(fault);
    sim.setFault(once, 1);
    QVERIFY(QTest::qWaitFor([&] { return hasRow(rows, TrafficRow::Kind(kind)); }, kWaitMs));
    const auto *statistics = monitor->findChild<QWidget *>(QStringLiteral("statisticsPanel"));
    QVERIFY(statistics);
    const auto counted = [&] {
        for (const QLabel *label : statistics->findChildren<QLabel *>())
            if (label->text() == count)
                return true;
        return false;
    };
    QVERIFY(QTest::qWaitFor(counted, kWaitMs));
    QVERIFY(QTest::qWaitFor([&] { return w.linkIndicator()->toolTip().split(QLatin1Char('\n')).contains(count); }, kWaitMs));
    QVERIFY(w.linkIndicator()->toolTip().startsWith(LinkStatisticsText::title()));
}

// Closed, the monitor gets no frames (those queued before still arrive); opened
// again, it gets them from the running connection.
void TestMonitorWindow::framesOnlyWhileOpen()
{
    Simulator sim;
    sim.addDevice(kLineDevice);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    PortMap::bindForSession(60, sim.linkPath());
    MainWindow w;
    w.setTiming(testTiming());
    w.connectDevice(lineDeviceAt(60));
    QVERIFY(QTest::qWaitFor([&] { return w.linkIndicator()->text() == QStringLiteral("Подключение"); }, kWaitMs));
    int statisticsSeen = 0; // counted after the window has handled each
    QObject counter;
    connect(w.dataThread(), &DataThread::dataEvent, &counter, [&statisticsSeen](DataEventPtr e) {
        statisticsSeen += e->type() == DataEvent::LinkStatistics ? 1 : 0;
    });
    TrafficMonitor *monitor = openMonitor(w);
    QVERIFY(monitor);
    const TrafficModel &rows = *monitor->model();
    QVERIFY(QTest::qWaitFor([&] { return rows.rowCount() > 0; }, kWaitMs));

    monitor->close();
    // A frame stamped after the close was never sent: its port saw the switch off.
    const qint64 closedAt = QDateTime::currentMSecsSinceEpoch();
    const int seen = statisticsSeen;
    QVERIFY(QTest::qWaitFor([&] { return statisticsSeen >= seen + 3; }, kWaitMs));
    QCOMPARE(rowsAfter(rows, closedAt), 0);

    QVERIFY(openMonitor(w) == monitor);
    QVERIFY(QTest::qWaitFor([&] { return rowsAfter(rows, closedAt) > 0; }, kWaitMs));
}

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitorwindow.moc"
