// The plots' sample store and the per-column line reduction, against plain references.
#include "plots/decimatedcurve.h"
#include "plots/samplebuffer.h"
#include "plots/sampleseries.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <deque>
#include <set>

namespace {
// A random walk with many samples per column: the worst case for the reduction.
QPolygon randomWalk(int points, int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    QPolygon line;
    int y = height / 2;
    for (int i = 0; i < points; ++i) {
        y = qBound(0, y + random.bounded(-9, 10), height - 1);
        line << QPoint(i * width / points, y);
    }
    return line;
}

// Two identical plots over the same store, one drawing through the reduction.
QImage plotImage(QwtPlotCurve *curve, const SampleBuffer &buffer, double from, double to)
{
    QwtPlot plot;
    plot.setAutoReplot(false);
    plot.resize(400, 200);
    plot.show();
    plot.updateLayout();
    plot.setAxisScale(QwtPlot::xBottom, from, to);
    plot.setAxisScale(QwtPlot::yLeft, -1000, 1000);
    curve->setPen(QPen(Qt::black, 0)); // the live plots' pen
    curve->setData(new SampleSeries(&buffer, 0));
    curve->attach(&plot);
    plot.replot();
    return plot.canvas()->grab().toImage();
}
} // namespace

class TestPlotStorage : public QObject
{
    Q_OBJECT

private slots:
    void extremesMatchFullScan_data();
    void extremesMatchFullScan();
    void compactionKeepsOrder();
    void reductionKeepsPixels_data();
    void reductionKeepsPixels();
    void reductionBoundsPoints();
    void reducedCurveDrawsSamePicture();
    void seriesBounds();
};

void TestPlotStorage::extremesMatchFullScan_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps");
    QTest::newRow("short") << 1u << 300;
    QTest::newRow("through several compactions") << 7u << 40000;
}

void TestPlotStorage::extremesMatchFullScan()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);
    QRandomGenerator random(seed);
    SampleBuffer buffer(2);
    std::deque<double> a, b;           // the samples in order
    std::multiset<double> sortedA, sortedB; // the same, sorted: the extremes at the ends
    for (int step = 0; step < steps; ++step) {
        // More appends than removals, with runs of equal values.
        if (random.bounded(3) != 0 || a.empty()) {
            const double v[2] = {double(random.bounded(-50, 50)), double(random.bounded(5))};
            buffer.append(step, v);
            a.push_back(v[0]);
            b.push_back(v[1]);
            sortedA.insert(v[0]);
            sortedB.insert(v[1]);
        } else {
            buffer.removeOldest();
            sortedA.erase(sortedA.find(a.front()));
            sortedB.erase(sortedB.find(b.front()));
            a.pop_front();
            b.pop_front();
        }
        QCOMPARE(buffer.size(), int(a.size()));
        if (a.empty())
            continue;
        QCOMPARE(buffer.largest(0), *sortedA.rbegin());
        QCOMPARE(buffer.smallest(0), *sortedA.begin());
        QCOMPARE(buffer.largest(1), *sortedB.rbegin());
        QCOMPARE(buffer.newest(0), a.back());
        QCOMPARE(buffer.value(1, 0), b.front());
    }
}

void TestPlotStorage::compactionKeepsOrder()
{
    SampleBuffer buffer(1);
    for (int i = 0; i < 20000; ++i) {
        const double v = i * 2.0;
        buffer.append(i, &v);
        if (i >= 9000)
            buffer.removeOldest();
    }
    QCOMPARE(buffer.size(), 9000);
    for (int i = 0; i < buffer.size(); ++i) {
        QCOMPARE(buffer.time(i), double(11000 + i));
        QCOMPARE(buffer.value(0, i), 2.0 * (11000 + i));
    }
    buffer.clear();
    QVERIFY(buffer.isEmpty());
    QCOMPARE(buffer.largest(0, -1.0), -1.0);
}

void TestPlotStorage::reductionKeepsPixels_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("one point per column") << 300 << 3u;
    QTest::newRow("30 per column") << 9000 << 4u;
    QTest::newRow("300 per column") << 90000 << 5u;
}

// Each column keeps its first and last point and its vertical extent, in line order.
void TestPlotStorage::reductionKeepsPixels()
{
    QFETCH(int, points);
    QFETCH(quint32, seed);
    const QPolygon full = randomWalk(points, 300, 200, seed);
    const QPolygon reduced = DecimatedCurve::reduceToColumns(full);
    QMap<int, QPolygon> fullColumns, reducedColumns;
    for (const QPoint &p : full)
        fullColumns[p.x()] << p;
    for (const QPoint &p : reduced)
        reducedColumns[p.x()] << p;
    QCOMPARE(reducedColumns.keys(), fullColumns.keys());
    for (int x : fullColumns.keys()) {
        const QPolygon &f = fullColumns[x];
        const QPolygon &r = reducedColumns[x];
        QCOMPARE(r.first(), f.first());
        QCOMPARE(r.last(), f.last());
        QCOMPARE(r.boundingRect(), f.boundingRect());
    }
    // Only one pixel column per point: the reduction must not split a column.
    for (int i = 1; i < reduced.size(); ++i)
        QVERIFY(reduced[i].x() >= reduced[i - 1].x());
}

void TestPlotStorage::reductionBoundsPoints()
{
    const QPolygon full = randomWalk(90000, 300, 200, 9);
    QVERIFY(DecimatedCurve::reduceToColumns(full).size() <= 4 * 300);
}

void TestPlotStorage::reducedCurveDrawsSamePicture()
{
    QRandomGenerator random(11);
    SampleBuffer buffer(1);
    double y = 0;
    for (int t = 0; t < 90000; ++t) {
        y = qBound(-900.0, y + random.bounded(-20, 21), 900.0);
        buffer.append(t, &y);
    }
    // Part of the series lies left of the visible range, as after the trimming slack;
    // drawing only the visible part must not change a pixel.
    QVERIFY(!DecimatedCurve::columnReduction());
    auto *plain = new QwtPlotCurve;
    auto *reduced = new DecimatedCurve(QString());
    const QImage expected = plotImage(plain, buffer, 5000, 90000);
    const QImage actual = plotImage(reduced, buffer, 5000, 90000);
    QCOMPARE(actual, expected);
}

void TestPlotStorage::seriesBounds()
{
    SampleBuffer buffer(2);
    const SampleSeries series(&buffer, 1);
    QVERIFY(!series.boundingRect().isValid());
    const double first[2] = {0, 5};
    const double second[2] = {0, -3};
    buffer.append(100, first);
    buffer.append(160, second);
    QCOMPARE(series.size(), size_t(2));
    QCOMPARE(series.sample(1), QPointF(160, -3));
    QCOMPARE(series.boundingRect(), QRectF(100, -3, 60, 8));
}

QTEST_MAIN(TestPlotStorage)
#include "tst_plotstorage.moc"
