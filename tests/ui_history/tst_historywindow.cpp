// The history window on a file written before it opened, as after a restart: the
// devices with their times, a period's samples, events and oscillograms, the plots
// cut to the pixel columns, the period's CSV; a file it cannot read is said.
#include "storage/historycsv.h"
#include "storage/historystore.h"
#include "ui/history/historyplot.h"
#include "ui/history/historywindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr qint64 kNow = 1765238400000LL; // a night's end, UTC
constexpr qint64 kHour = 3600 * 1000LL;

void writeNight(const QString &path)
{
    HistoryStore store;
    QVERIFY(store.open(path));
    const qint64 id = store.deviceId(QStringLiteral("COM3"), 5, QStringLiteral("5.0-50.0 v0.70"), 10);
    QVector<HistorySample> night;
    for (qint64 t = kNow - 24 * kHour; t <= kNow; t += 1000) { // a day at 1 Hz
        HistorySample s;
        s.timeMs = t;
        s.currents[0] = (t - kNow) % 7000 == 0 ? 99.5 : 12.3;
        s.voltages[0] = 380;
        s.pt100 = 40;
        night.append(s);
    }
    QVERIFY(store.appendSamples(id, night));
    QVERIFY(store.appendEvents(id, {{kNow - 2 * kHour, HistoryEvent::CrashLog, 31, QStringLiteral("trip")},
                                    {kNow - 30 * kHour, HistoryEvent::WorkLog, 2, QStringLiteral("start")}}));
    QVERIFY(store.appendOscillogram(id, {0, quint32((kNow - 2 * kHour) / 1000), 31, kNow, QByteArray(778, '\1')}));
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void periods_data();
    void periods();
    void plotsAreCutToThePixels();
    void periodAsCsv();
    void unreadableFileIsSaid();
    void decimationKeepsExtremes_data();
    void decimationKeepsExtremes();

private:
    QTemporaryDir dir;
    QString path;
};

void TestHistoryWindow::initTestCase()
{
    path = dir.filePath(QStringLiteral("history.sqlite"));
    writeNight(path);
}

void TestHistoryWindow::periods_data()
{
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("events");
    QTest::newRow("hour") << int(HistoryWindow::LastHour) << 3601 << 0;
    QTest::newRow("day") << int(HistoryWindow::LastDay) << 86401 << 1;
    QTest::newRow("week") << int(HistoryWindow::LastWeek) << 86401 << 2;
}

void TestHistoryWindow::periods()
{
    QFETCH(int, period);
    QFETCH(int, samples);
    QFETCH(int, events);
    HistoryWindow window(path);
    QCOMPARE(window.devices().size(), 1);
    QCOMPARE(window.devices()[0].firstMs, kNow - 24 * kHour);
    QCOMPARE(window.devices()[0].lastMs, kNow);
    window.showPeriod(0, HistoryWindow::Period(period), kNow);
    QCOMPARE(window.shownSamples().size(), samples);
    QCOMPARE(window.shownEvents().size(), events);
    QCOMPARE(window.shownOscillograms().size(), 1);
}

void TestHistoryWindow::plotsAreCutToThePixels()
{
    HistoryWindow window(path);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showPeriod(0, HistoryWindow::LastDay, kNow);
    const int columns = window.currentsPlot()->canvas()->width();
    QVERIFY(window.currentsPlot()->drawnPoints(0) > 0);
    QVERIFY2(window.currentsPlot()->drawnPoints(0) <= 4 * qMax(100, columns) + 4,
             qPrintable(QString::number(window.currentsPlot()->drawnPoints(0))));
}

void TestHistoryWindow::periodAsCsv()
{
    HistoryWindow window(path);
    window.showRange(0, kNow - 2000, kNow);
    const QList<QByteArray> lines = window.csv().split('\n');
    QCOMPARE(lines.value(0), QByteArray(HistoryCsv::kHeader));
    QCOMPARE(lines.size(), 1 + 3 + 1); // the rows and the last newline
    QCOMPARE(lines[3], QByteArray("2025-12-09T00:00:00.000Z,COM3,5,99.500,0.000,0.000,380,0,0,40,0,0,0,0,0"));
}

void TestHistoryWindow::unreadableFileIsSaid()
{
    const QString bad = dir.filePath(QStringLiteral("bad.sqlite"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    HistoryWindow window(bad);
    QVERIFY(window.devices().isEmpty());
    QVERIFY2(window.lastError().contains(QStringLiteral("not a database")), qPrintable(window.lastError()));
    window.showPeriod(0, HistoryWindow::LastDay, kNow); // nothing to show, nothing breaks
    QVERIFY(window.shownSamples().isEmpty());
}

void TestHistoryWindow::decimationKeepsExtremes_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("spikeAt");
    QTest::newRow("fewer than the pixels: as is") << 50 << 100 << 17;
    QTest::newRow("a day on 800 columns") << 86400 << 800 << 43210;
    QTest::newRow("spike in the last sample") << 10000 << 100 << 9999;
    QTest::newRow("spike in the first sample") << 10000 << 100 << 0;
}

void TestHistoryWindow::decimationKeepsExtremes()
{
    QFETCH(int, count);
    QFETCH(int, columns);
    QFETCH(int, spikeAt);
    QVector<double> t(count), v(count, 1.0);
    for (int i = 0; i < count; ++i)
        t[i] = i * 1000.0;
    v[spikeAt] = 50.0;
    v[(spikeAt + count / 2) % count] = -5.0;
    QVector<double> outT, outV;
    HistoryPlot::decimate(t, v, columns, outT, outV);
    QVERIFY(outT.size() <= qMax(count, 0) && outT.size() <= 4 * columns + 4);
    QCOMPARE(*std::max_element(outV.begin(), outV.end()), 50.0);
    QCOMPARE(*std::min_element(outV.begin(), outV.end()), -5.0);
    QCOMPARE(outT.first(), t.first());
    QCOMPARE(outT.last(), t.last());
    QVERIFY(std::is_sorted(outT.begin(), outT.end()));
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
