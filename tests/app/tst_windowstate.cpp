// The window state file: what it keeps, what a damaged file gives, and where the
// window opens on screens of several sizes; what the watch tab shows on a laptop.
#include "app/mainwindow.h"
#include "app/windowstate.h"
#include "exchange/dataevent.h"
#include "i18n/translation.h"
#include "plots/tempplot.h"
#include "plots/watchplot.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "ui/watch/tableprotocol.h"
#include "ui/watch/tabwatch.h"

#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QRect kLaptop(0, 0, 1366, 768);
const QRect kLaptopWithPanel(0, 27, 1366, 741); // a desktop's top panel takes 27 px
const QRect kRightScreen(1920, 0, 1280, 1024);  // the second screen of two
const QSize kMinimum(660, 480);

// The area the window itself may take: the screen's less the frame.
QRect usable(const QRect &available)
{
    return available.marginsRemoved(WindowState::kFrameAllowance);
}
} // namespace

class TestWindowState : public QObject
{
    Q_OBJECT

private slots:
    void keptAcrossSaveAndLoad();
    void damagedText_data();
    void damagedText();
    void missingFileGivesDefaults();
    void placement_data();
    void placement();
    void watchTabOnALaptop_data();
    void watchTabOnALaptop();
};

void TestWindowState::keptAcrossSaveAndLoad()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/window.conf"));
    WindowState state;
    state.geometry = QRect(-1200, 35, 1000, 600); // a screen left of the primary one
    state.maximized = true;
    state.watchSplit = {150, 370, 143};
    QVERIFY(state.save(path));
    const WindowState read = WindowState::load(path);
    QCOMPARE(read.geometry, state.geometry);
    QCOMPARE(read.maximized, true);
    QCOMPARE(read.watchSplit, state.watchSplit);
}

void TestWindowState::damagedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QList<int>>("split");
    const QRect kept(10, 20, 900, 700);
    const QList<int> split {150, 400, 120};

    QTest::newRow("whole") << QByteArray("geometry=10,20,900,700\nwatchSplit=150,400,120\n") << kept << split;
    QTest::newRow("spaces, comments, other keys")
        << QByteArray("# x\n geometry = 10, 20, 900 ,700 \ncolour=red\nwatchSplit=150, 400,120") << kept << split;
    QTest::newRow("three numbers") << QByteArray("geometry=10,20,900\nwatchSplit=150,400,120") << QRect() << split;
    QTest::newRow("not numbers") << QByteArray("geometry=a,b,c,d\nwatchSplit=150,x,120") << QRect() << QList<int>();
    QTest::newRow("zero width") << QByteArray("geometry=10,20,0,700") << QRect() << QList<int>();
    QTest::newRow("negative size") << QByteArray("geometry=10,20,-900,700") << QRect() << QList<int>();
    QTest::newRow("absurd size") << QByteArray("geometry=10,20,900,7000000") << QRect() << QList<int>();
    QTest::newRow("collapsed part") << QByteArray("geometry=10,20,900,700\nwatchSplit=150,400,0") << kept << QList<int>();
    QTest::newRow("two parts, the older layout") << QByteArray("watchSplit=400,120") << QRect() << QList<int>();
    QTest::newRow("four parts") << QByteArray("watchSplit=150,400,120,5") << QRect() << QList<int>();
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x13=\n=\n\n", 8) << QRect() << QList<int>();
}

void TestWindowState::damagedText()
{
    QFETCH(QByteArray, text);
    const WindowState state = WindowState::fromText(text);
    QTEST(state.geometry, "geometry");
    QTEST(state.watchSplit, "split");
    QVERIFY(!state.maximized);
}

void TestWindowState::missingFileGivesDefaults()
{
    QTemporaryDir dir;
    const WindowState state = WindowState::load(dir.filePath(QStringLiteral("window.conf")));
    QVERIFY(!state.geometry.isValid());
    QVERIFY(state.watchSplit.isEmpty());
    const QRect placed = state.placement(kLaptop, kMinimum);
    QVERIFY(usable(kLaptop).contains(placed));
    QCOMPARE(placed.width(), WindowState::kDefaultWidth);
    QCOMPARE(placed.height(), usable(kLaptop).height()); // as tall as the laptop allows
    QVERIFY(qAbs(placed.center().x() - kLaptop.center().x()) <= 1);
}

void TestWindowState::placement_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("fits: kept") << QRect(30, 40, 1000, 600) << kLaptop << QRect(30, 40, 1000, 600);
    QTest::newRow("fits on the second screen: kept") << QRect(2000, 100, 1100, 800) << kRightScreen
                                                     << QRect(2000, 100, 1100, 800);
    QTest::newRow("taller than the laptop: shrunk") << QRect(100, 40, 610, 1033) << kLaptop
                                                    << QRect(100, 32, 660, 732);
    QTest::newRow("under the top panel: moved down") << QRect(200, 0, 1000, 600) << kLaptopWithPanel
                                                     << QRect(200, 59, 1000, 600);
    QTest::newRow("past the right edge: moved in") << QRect(1000, 100, 1000, 600) << kLaptop
                                                   << QRect(362, 100, 1000, 600);
    QTest::newRow("from a screen no longer there") << QRect(2500, 300, 1200, 900) << kLaptop
                                                   << QRect(162, 32, 1200, 732);
    QTest::newRow("screen smaller than the minimum") << QRect(0, 0, 1000, 700) << QRect(0, 0, 640, 480)
                                                     << QRect(4, 32, 660, 480);
}

void TestWindowState::placement()
{
    QFETCH(QRect, saved);
    QFETCH(QRect, available);
    WindowState state;
    state.geometry = saved;
    const QRect placed = state.placement(available, kMinimum);
    QTEST(placed, "expected");
    if (kMinimum.width() <= usable(available).width() && kMinimum.height() <= usable(available).height())
        QVERIFY(usable(available).contains(placed));
}

void TestWindowState::watchTabOnALaptop_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Russian") << int(Translation::Russian);
    QTest::newRow("English") << int(Translation::English);
}

// Maximised on a 1366 x 768 laptop with a 40-px taskbar: the whole state panel without
// scrolling, the plots at least half of the tab, the protocol's first rows.
void TestWindowState::watchTabOnALaptop()
{
    QFETCH(int, language);
    QTemporaryDir dir;
    DataDirectory::setOverride(dir.path());
    qputenv("ORBIX_PORTS", ""); // no ports of the machine's own
    AppSettings::instance() = AppSettings();
    QVERIFY(Translation::install(Translation::Language(language)));
    const QSize laptop = usable(QRect(0, 0, 1366, 768 - 40)).size();
    MainWindow w;
    const DataEvent connected(DataEvent::Connected);
    w.onDataEvent(&connected); // the watch tab in front
    w.resize(laptop);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(Translation::install(Translation::Russian));
    TabWatch *tab = w.tabWatch();
    QTRY_COMPARE(w.size(), laptop);
    const QSize least = tab->minimumSizeHint();
    QVERIFY2(least.width() <= tab->width() && least.height() <= tab->height(),
             qPrintable(QStringLiteral("least %1x%2 in %3x%4").arg(least.width()).arg(least.height())
                            .arg(tab->width()).arg(tab->height())));
    const int plots = tab->watchPlot()->height() + tab->tempPlot()->height();
    qInfo("tab %dx%d, plots %d", tab->width(), tab->height(), plots);
    QVERIFY2(2 * plots >= tab->height(), qPrintable(QStringLiteral("plots %1 of %2").arg(plots).arg(tab->height())));
    QVERIFY(tab->watchPlot()->height() >= plots / 3 && tab->tempPlot()->height() >= plots / 3);
    QVERIFY(tab->watchPlot()->visibleRegion().boundingRect().height() == tab->watchPlot()->height());
    QVERIFY(tab->tempPlot()->visibleRegion().boundingRect().height() == tab->tempPlot()->height());
    const auto *panel = tab->findChild<QScrollArea *>(QStringLiteral("watchPanel"));
    QVERIFY(panel->viewport()->height() >= panel->widget()->minimumSizeHint().height());
    QVERIFY(!panel->verticalScrollBar()->isVisible());
    const TableProtocol *table = tab->protocolTable();
    QVERIFY(table->viewport()->height() >= 2 * table->verticalHeader()->defaultSectionSize());
    DataDirectory::setOverride(QString());
}

QTEST_MAIN(TestWindowState)
#include "tst_windowstate.moc"
