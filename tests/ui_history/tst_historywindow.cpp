// The history window on a file written before it opened, as after a restart: the
// devices with their times, a period's samples, events and oscillograms, the plots
// cut to the pixel columns, the period's CSV; a file it cannot read is said. The
// window fits a laptop's screen and speaks the language of the window it opens from,
// its events too.
#include "history/historycsv.h"
#include "history/historystore.h"
#include "i18n/translation.h"
#include "ui/history/historyplot.h"
#include "ui/history/historywindow.h"

#include <qwt_date_scale_draw.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr qint64 kNow = 1765238400000LL; // a night's end, UTC
constexpr qint64 kHour = 3600 * 1000LL;
// A 1366 x 768 laptop less a 40-px taskbar and the frame a window manager adds.
const QSize kLaptop(1366 - 8, 768 - 40 - 36);

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
    HistoryEvent trip {kNow - 2 * kHour, HistoryEvent::CrashLog, 31};
    trip.phases = HistoryEvent::Phases {{12.3, 12.5, 0}, {380, 381, 379}};
    QVERIFY(store.appendEvents(id, {trip, {kNow - 30 * kHour, HistoryEvent::WorkLog, 2}}));
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
    void fitsALaptop_data();
    void fitsALaptop();
    void noDatesBeforeData();
    void datesAndNumbersInTheWindowsLanguage_data();
    void datesAndNumbersInTheWindowsLanguage();
    void eventsInTheWindowsLanguage_data();
    void eventsInTheWindowsLanguage();

private:
    void languageData();
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

void TestHistoryWindow::languageData()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Russian") << int(Translation::Russian);
    QTest::newRow("English") << int(Translation::English);
}

void TestHistoryWindow::fitsALaptop_data()
{
    languageData();
}

// Every control within reach on the laptop's screen, with the longest device line a
// day's history gives.
void TestHistoryWindow::fitsALaptop()
{
    QFETCH(int, language);
    QVERIFY(Translation::install(Translation::Language(language)));
    QWidget main;
    main.setLocale(Translation::locale(Translation::Language(language)));
    HistoryWindow window(path, &main);
    window.showPeriod(0, HistoryWindow::LastDay, kNow);
    const QSize least = window.minimumSizeHint();
    qInfo("least size %dx%d", least.width(), least.height());
    QVERIFY(Translation::install(Translation::Russian));
    QVERIFY2(least.width() <= kLaptop.width() && least.height() <= kLaptop.height(),
             qPrintable(QStringLiteral("least size %1x%2").arg(least.width()).arg(least.height())));
    window.resize(kLaptop);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect inside = window.rect();
    QList<QWidget *> parts;
    for (QAbstractButton *b : window.findChildren<QAbstractButton *>())
        if (b->isVisibleTo(&window))
            parts << b;
    for (QAbstractItemView *v : window.findChildren<QAbstractItemView *>(QString(), Qt::FindDirectChildrenOnly))
        parts << v;
    QVERIFY(parts.size() >= 4);
    for (QWidget *w : parts) {
        const QRect at(w->mapTo(&window, QPoint()), w->size());
        QVERIFY2(inside.contains(at), qPrintable(w->metaObject()->className() + QStringLiteral(" ") + w->objectName()));
    }
}

// Before the first period the plots have no time to show: no axis reads 1970.
void TestHistoryWindow::noDatesBeforeData()
{
    HistoryWindow window(path);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (QwtPlot *plot : window.findChildren<HistoryPlot *>())
        QVERIFY(!plot->axisEnabled(QwtPlot::xBottom));
    window.showPeriod(0, HistoryWindow::LastHour, kNow);
    QVERIFY(window.currentsPlot()->axisEnabled(QwtPlot::xBottom));
    window.showRange(0, kNow + kHour, kNow + 2 * kHour); // a period without samples
    QVERIFY(!window.currentsPlot()->axisEnabled(QwtPlot::xBottom));
}

void TestHistoryWindow::eventsInTheWindowsLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("trip");
    QTest::newRow("Russian") << int(Translation::Russian) << "Пуск двигателя"
                             << "Перегрузка по току (среднебыстродействующая защита) (12.3 / 12.5 / 0.0 А, 380 / 381 / 379 В)";
    QTest::newRow("English") << int(Translation::English) << "Motor start"
                             << "Overcurrent (medium-fast protection) (12.3 / 12.5 / 0.0 A, 380 / 381 / 379 V)";
}

// The file holds codes and numbers: the events are said in the language of the window.
void TestHistoryWindow::eventsInTheWindowsLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, start);
    QFETCH(QString, trip);
    QVERIFY(Translation::install(Translation::Language(language)));
    HistoryWindow window(path);
    window.showPeriod(0, HistoryWindow::LastWeek, kNow);
    QVERIFY(Translation::install(Translation::Russian));
    const QList<QTableWidget *> tables = window.findChildren<QTableWidget *>();
    QCOMPARE(tables.size(), 1);
    QCOMPARE(tables[0]->rowCount(), 2);
    QCOMPARE(tables[0]->item(0, 1)->text(), start);
    QCOMPARE(tables[0]->item(1, 1)->text(), trip);
}

void TestHistoryWindow::datesAndNumbersInTheWindowsLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("thousand");
    QTest::addColumn<QString>("half");
    QTest::newRow("Russian") << int(Translation::Russian) << QStringLiteral("дек") << (QStringLiteral("1") + QChar(0xa0) + QStringLiteral("000"))
                             << QStringLiteral("0,5");
    QTest::newRow("English") << int(Translation::English) << QStringLiteral("Dec") << QStringLiteral("1,000")
                             << QStringLiteral("0.5");
}

// Whatever the system's locale (the test's is C): the window's own language.
void TestHistoryWindow::datesAndNumbersInTheWindowsLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, month);
    QFETCH(QString, thousand);
    QFETCH(QString, half);
    QWidget main;
    main.setLocale(Translation::locale(Translation::Language(language)));
    HistoryWindow window(path, &main);
    window.showPeriod(0, HistoryWindow::LastWeek, kNow);
    HistoryPlot *plot = window.currentsPlot();
    const QString date = plot->axisScaleDraw(QwtPlot::xBottom)->label(double(kNow - 12 * kHour)).text();
    QVERIFY2(date.contains(month), qPrintable(date));
    const QString other = language == Translation::Russian ? QStringLiteral("Dec") : QStringLiteral("дек");
    QVERIFY2(!date.contains(other), qPrintable(date));
    QCOMPARE(plot->axisScaleDraw(QwtPlot::yLeft)->label(1000).text(), thousand);
    QCOMPARE(plot->axisScaleDraw(QwtPlot::yLeft)->label(0.5).text(), half);
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
