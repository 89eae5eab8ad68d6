// The search tab against a simulated line: button states through a scan, stop and
// continue, the single probe, the device list file and the table's double click.
#include "device/deviceinfo.h"
#include "exchange/searchthread.h"
#include "i18n/translation.h"
#include "sim/simtcpserver.h"
#include "sim/simulator.h"
#include "storage/appsettings.h"
#include "storage/devicerecordfile.h"
#include "storage/portmap.h"
#include "tests/testtiming.h"
#include "tests/testwritefailure.h"
#include "ui/dataeventlistener.h"
#include "ui/maincontrol.h"
#include "ui/search/networklinedialog.h"
#include "ui/search/searchdialog.h"
#include "ui/search/tabledevice.h"
#include "ui/search/tabsearch.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/ui/fakemaincontrol.h"
#include "tests/ui/modalanswer.h"

namespace {
constexpr int kLinePort = 77;
constexpr int kBrokenPort = 78;   // bound to a plain file: opening it as a line fails
constexpr int kSpeedIndex57600 = 8;

// The simulator answers at 57600 bit/s within a few ms.
ProtocolTiming searchTiming()
{
    ProtocolTiming t = testTiming();
    t.probeTimeoutMs = 25;
    return t;
}

DeviceInfo record(int kind, int address)
{
    DeviceInfo d;
    d.kind = kind;
    d.address = address;
    d.baudRate = 19200;
    d.portNumber = kLinePort;
    d.modification = kind == DeviceInfo::Unknown ? 0 : 70;
    d.currentScale = kind == DeviceInfo::Unknown ? 0 : 2;
    d.minRatedCurrent = kind == DeviceInfo::Unknown ? 0.0f : 5.0f;
    d.maxRatedCurrent = kind == DeviceInfo::Unknown ? 0.0f : 50.0f;
    return d;
}
} // namespace

class TestTabSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void selectorsAndInitialState();
    void estimateFollowsTheLinesProbeTime_data();
    void estimateFollowsTheLinesProbeTime();
    void scanStopContinue();
    void singleProbeByDialog_data();
    void singleProbeByDialog();
    void portThatCannotOpen();
    void deviceListLoadAndSave();
    void largeDeviceListOpensQuickly();
    void deviceColumnFitsItsTexts_data();
    void deviceColumnFitsItsTexts();
    void doubleClickConnectsKnownDevicesOnly();
    void networkLineIsBoundAndProbed();
    void networkLineOnAFullDisk();
    void addDialogShowsItsTitle_data();
    void addDialogShowsItsTitle();

private:
    QPushButton *button(TabSearch &tab, const QString &text) const;
    QComboBox *selector(TabSearch &tab, int index) const;
    QString listPath() const { return dir->filePath(QStringLiteral("device_list.dat")); }
    bool waitStatus(const QString &text, int ms = 20000) const;

    Simulator sim;
    std::unique_ptr<QTemporaryDir> dir;
    QString brokenLine;
    FakeMainControl main;
};

void TestTabSearch::initTestCase()
{
    sim.setTurnaroundMs(1);
    sim.addDevice(SimDeviceConfig {2, 70, 0, 57600, 2, 10});
    sim.addDevice(SimDeviceConfig {4, 80, 1, 57600, 1, 50});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
}

void TestTabSearch::init()
{
    dir = std::make_unique<QTemporaryDir>();
    brokenLine = dir->filePath(QStringLiteral("not-a-line"));
    QFile(brokenLine).open(QIODevice::WriteOnly);
    qputenv("ORBIX_DATA_DIR", QFile::encodeName(dir->path()));
    qputenv("ORBIX_PORTS", "COM77=" + QFile::encodeName(sim.linkPath()) + ";COM78=" + QFile::encodeName(brokenLine));
    AppSettings::instance() = AppSettings();
    AppSettings::instance().lastPortNumber = kLinePort;
    AppSettings::instance().lastSpeedIndex = kSpeedIndex57600;
    main.reset();
}

void TestTabSearch::cleanup()
{
    dir.reset();
}

QPushButton *TestTabSearch::button(TabSearch &tab, const QString &text) const
{
    for (QPushButton *b : tab.findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

QComboBox *TestTabSearch::selector(TabSearch &tab, int index) const
{
    return tab.findChildren<QComboBox *>().value(index); // port, then speed
}

bool TestTabSearch::waitStatus(const QString &text, int ms) const
{
    return QTest::qWaitFor([&] { return main.lastStatus() == text; }, ms);
}

void TestTabSearch::selectorsAndInitialState()
{
    TabSearch tab(&main);
    QComboBox *port = selector(tab, 0);
    QComboBox *speed = selector(tab, 1);
    QCOMPARE(port->currentText(), QStringLiteral("COM77"));
    QVERIFY(port->findText(QStringLiteral("COM78")) > port->currentIndex()); // ascending
    QVERIFY(port->itemData(port->currentIndex(), Qt::ToolTipRole).toString().contains(sim.linkPath()));
    QVERIFY(!tab.findChildren<QLabel *>().isEmpty());
    QCOMPARE(speed->count(), 9);
    QCOMPARE(speed->currentText(), QStringLiteral("57600"));
    QVERIFY(button(tab, QStringLiteral("Поиск"))->isEnabled());
    QVERIFY(!button(tab, QStringLiteral("Остановить"))->isEnabled());
    QVERIFY(button(tab, QStringLiteral("Добавить"))->isEnabled());
    QVERIFY(!button(tab, QStringLiteral("Подключиться"))->isEnabled());
    QVERIFY(!button(tab, QStringLiteral("Отключиться"))->isEnabled());
    QCOMPARE(tab.findChild<QProgressBar *>()->maximum(), 741);
}

// A line whose probes are quicker than the speed's default (the demo line's 40 ms):
// the estimate before a search is of its probes, not of the default's five minutes.
void TestTabSearch::estimateFollowsTheLinesProbeTime_data()
{
    QTest::addColumn<int>("probeTimeoutMs");
    QTest::addColumn<QString>("planned");
    QTest::newRow("the demo line") << 40 << "Полный поиск: опросов — 741, около 32 с"; // 741 × (2 + 40) ms at 57600 bit/s
    QTest::newRow("the speed's own") << 0 << "Полный поиск: опросов — 741, около 3 мин 45 с"; // 741 × (2 + 300) ms
}

void TestTabSearch::estimateFollowsTheLinesProbeTime()
{
    QFETCH(int, probeTimeoutMs);
    TabSearch tab(&main);
    ProtocolTiming timing;
    timing.probeTimeoutMs = probeTimeoutMs;
    tab.setTiming(timing);
    QTEST(tab.findChild<QLabel *>("searchProgressText")->text(), "planned");
}

void TestTabSearch::scanStopContinue()
{
    TabSearch tab(&main);
    tab.setTiming(searchTiming());
    QPushButton *stop = button(tab, QStringLiteral("Остановить"));
    button(tab, QStringLiteral("Поиск"))->click();
    QCOMPARE(main.disconnects, 1);
    QVERIFY(QTest::qWaitFor([&] { return tab.devices().size() == 2; }, 20000));
    QVERIFY(!selector(tab, 0)->isEnabled());
    QVERIFY(!button(tab, QStringLiteral("Поиск"))->isEnabled());
    QVERIFY(stop->isEnabled());
    stop->click();
    QVERIFY(waitStatus(QStringLiteral("Поиск остановлен...")));
    QCOMPARE(stop->text(), QStringLiteral("Продолжить"));
    QVERIFY(stop->isEnabled());
    const int stoppedAt = tab.searchThread()->probeCount();
    selector(tab, 1)->setCurrentIndex(kSpeedIndex57600 - 1);
    QVERIFY(!stop->isEnabled());
    selector(tab, 1)->setCurrentIndex(kSpeedIndex57600);
    QVERIFY(stop->isEnabled());
    // Both devices are found: the rest of the line is silent and needs no long wait.
    ProtocolTiming rest = searchTiming();
    rest.probeTimeoutMs = 5;
    tab.setTiming(rest);
    stop->click();
    QVERIFY(QTest::qWaitFor([&] { return stop->text() == QStringLiteral("Остановить"); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return tab.searchThread()->probeCount() > stoppedAt; }, 5000));
    QVERIFY(waitStatus(QStringLiteral("Поиск завершён..."), 120000));
    QCOMPARE(tab.findChild<QProgressBar *>()->value(), 741);
    QVERIFY(!stop->isEnabled());
    QVERIFY(button(tab, QStringLiteral("Поиск"))->isEnabled());
    QCOMPARE(tab.devices().size(), 2); // continuing does not find them twice
    QCOMPARE(tab.devices().at(1).address, 4);
    QCOMPARE(tab.devices().at(1).frameFormat, 1);
    QCOMPARE(AppSettings::instance().lastPortNumber, kLinePort);
}

void TestTabSearch::singleProbeByDialog_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("added");
    QTest::addColumn<bool>("realTiming");
    QTest::newRow("device there") << 4 << 1 << 1 << false;
    QTest::newRow("device there, the protocol's timing") << 4 << 1 << 1 << true;
    QTest::newRow("wrong parity") << 4 << 0 << 0 << false;
    QTest::newRow("nobody") << 9 << 0 << 0 << false;
}

void TestTabSearch::singleProbeByDialog()
{
    QFETCH(int, address);
    QFETCH(int, format);
    QFETCH(bool, realTiming);
    DeviceRecordFile::save(listPath(), {record(DeviceInfo::Recognised, 1)});
    TabSearch tab(&main);
    tab.setTiming(realTiming ? ProtocolTiming() : searchTiming());
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<SearchDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->setAddress(address);
        dialog->setFrameFormat(format);
        dialog->accept();
    });
    button(tab, QStringLiteral("Добавить"))->click();
    QVERIFY(waitStatus(QStringLiteral("Поиск завершён...")));
    QTEST(int(tab.devices().size() - 1), "added");
    QCOMPARE(tab.devices().first().address, 1); // a probe does not clear the list
    QVERIFY(!button(tab, QStringLiteral("Остановить"))->isEnabled());
}

void TestTabSearch::portThatCannotOpen()
{
    TabSearch tab(&main);
    QVERIFY(tab.selectPort(kBrokenPort));
    button(tab, QStringLiteral("Поиск"))->click();
    QVERIFY(waitStatus(QStringLiteral("Поиск остановлен. Ошибка открытия COM-порта")));
    QVERIFY(selector(tab, 0)->isEnabled());
    QVERIFY(button(tab, QStringLiteral("Поиск"))->isEnabled());
    QVERIFY(button(tab, QStringLiteral("Добавить"))->isEnabled());
    QCOMPARE(AppSettings::instance().lastPortNumber, kBrokenPort);
}

void TestTabSearch::deviceListLoadAndSave()
{
    const QByteArray two = record(DeviceInfo::Recognised, 1).toRecord() + record(DeviceInfo::Unknown, 6).toRecord();
    {
        QFile f(listPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(two + QByteArray(8, '\x55')); // 80 bytes: the last 8 are no record
    }
    {
        TabSearch tab(&main);
        QCOMPARE(tab.devices().size(), 2);
        QCOMPARE(tab.table()->model()->data(tab.table()->model()->index(1, 0)).toString(),
                 record(DeviceInfo::Unknown, 6).displayText());
        QCOMPARE(tab.table()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Устройство"));
    }
    QFile f(listPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), two);
}

// Ten thousand records, far more than a line can hold: the table still comes up at once.
void TestTabSearch::largeDeviceListOpensQuickly()
{
    constexpr int kRecords = 10000;
    constexpr qint64 kMostMs = 1000;
    QByteArray bytes;
    for (int i = 0; i < kRecords; ++i)
        bytes += record(i % 2 ? DeviceInfo::Unknown : DeviceInfo::Recognised, 1 + i % 247).toRecord();
    QVERIFY(DeviceRecordFile::save(listPath(), {}));
    QFile f(listPath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    QElapsedTimer clock;
    clock.start();
    TabSearch tab(&main);
    const qint64 took = clock.elapsed();
    qInfo("%d records shown in %lld ms", kRecords, took);
    QCOMPARE(tab.devices().size(), kRecords);
    QVERIFY2(took < kMostMs, qPrintable(QString::number(took)));
}

void TestTabSearch::deviceColumnFitsItsTexts_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("small: the least width holds") << 6;
    QTest::newRow("application font") << 0;
    QTest::newRow("large") << 20;
}

void TestTabSearch::deviceColumnFitsItsTexts()
{
    QFETCH(int, pixelSize);
    const QFont before = QApplication::font();
    if (pixelSize > 0) {
        QFont font = before;
        font.setPixelSize(pixelSize);
        QApplication::setFont(font);
    }
    DeviceInfo slow = record(DeviceInfo::Recognised, 247);
    slow.frameFormat = 1;
    DeviceRecordFile::save(listPath(), {record(DeviceInfo::Unknown, 6), slow});
    TabSearch tab(&main);
    TableDevice *table = tab.table();
    const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    int widest = 0;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        const QString text = table->model()->index(row, 0).data().toString();
        widest = qMax(widest, table->fontMetrics().horizontalAdvance(text) + 2 * margin);
    }
    QApplication::setFont(before);
    QVERIFY2(table->columnWidth(0) >= widest, qPrintable(QStringLiteral("%1 < %2").arg(table->columnWidth(0)).arg(widest)));
    QVERIFY(table->columnWidth(0) >= TableDevice::kColumnWidth);
    if (pixelSize == 6)
        QCOMPARE(table->columnWidth(0), TableDevice::kColumnWidth);
}

void TestTabSearch::doubleClickConnectsKnownDevicesOnly()
{
    DeviceRecordFile::save(listPath(), {record(DeviceInfo::Unknown, 6), record(DeviceInfo::Recognised, 2)});
    TabSearch tab(&main);
    tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tab));
    TableDevice *table = tab.table();
    for (int row : {0, 1}) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(button(tab, QStringLiteral("Подключиться"))->isEnabled(), row == 1);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(main.connections.size(), row);
    }
    QCOMPARE(main.connections.first().address, 2);
    button(tab, QStringLiteral("Подключиться"))->click();
    QCOMPARE(main.connections.size(), 2);
}

// A line behind a device server: bound in ports.conf under the number the dialog
// offers, selected, and probed over the network like a local port.
void TestTabSearch::networkLineIsBoundAndProbed()
{
    SimTcpServer server(sim, SimTcpServer::Framing::Rtu);
    QVERIFY2(server.listen(QStringLiteral("127.0.0.1"), 0), qPrintable(server.errorString()));
    QFile conf(dir->filePath(QLatin1String(PortMap::kBindingFile)));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("COM41=/dev/null\n"); // taken: the dialog offers the next number
    conf.close();
    TabSearch tab(&main);
    tab.setTiming(searchTiming());
    int offered = 0;
    answerNextModal([&](QWidget *w) {
        auto *dialog = qobject_cast<NetworkLineDialog *>(w);
        if (!dialog) {
            w->close();
            return;
        }
        offered = dialog->portNumber();
        auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("networkOk"));
        QVERIFY(ok && !ok->isEnabled()); // no host yet
        dialog->setLine(NetworkLineDialog::RtuOverTcp, QStringLiteral("127.0.0.1"), server.port(), 42);
        QVERIFY(ok->isEnabled());
        ok->click();
    });
    tab.findChild<QPushButton *>(QStringLiteral("networkLineButton"))->click();
    QCOMPARE(offered, 42);
    const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(server.port());
    QVERIFY(conf.open(QIODevice::ReadOnly));
    const QByteArray written = conf.readAll();
    conf.close();
    QVERIFY2(written.contains("COM41=/dev/null"), written.constData()); // other bindings kept
    QVERIFY2(written.contains("COM42=" + url.toUtf8()), written.constData());
    QCOMPARE(selector(tab, 0)->currentData().toInt(), 42);
    QVERIFY(tab.findChild<QLabel *>(QStringLiteral("portInfo"))->text().startsWith(url)); // where an adapter is named

    answerNextModal([](QWidget *w) {
        if (auto *dialog = qobject_cast<SearchDialog *>(w)) {
            dialog->setAddress(2); // the server's line runs at the first device's settings
            dialog->setFrameFormat(0);
            dialog->accept();
        } else {
            w->close();
        }
    });
    button(tab, QStringLiteral("Добавить"))->click();
    QVERIFY(waitStatus(QStringLiteral("Поиск завершён...")));
    QCOMPARE(tab.devices().size(), 1);
    QCOMPARE(tab.devices().first().address, 2);
    QCOMPARE(tab.devices().first().portNumber, 42);
}

// A disk that takes no byte: the user is told, and the bindings there are kept.
void TestTabSearch::networkLineOnAFullDisk()
{
    const QByteArray before("COM41=/dev/null\nCOM42=modbus-tcp://10.0.0.7\n");
    QFile conf(dir->filePath(QLatin1String(PortMap::kBindingFile)));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(before);
    conf.close();
    TabSearch tab(&main);
    QString said;
    answerNextModal([&said](QWidget *w) {
        auto *dialog = qobject_cast<NetworkLineDialog *>(w);
        if (!dialog) {
            w->close();
            return;
        }
        dialog->setLine(NetworkLineDialog::ModbusTcp, QStringLiteral("10.0.0.5"), 502, 43);
        answerNextModal([&said](QWidget *box) {
            said = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
            box->close();
        });
        dialog->findChild<QPushButton *>(QStringLiteral("networkOk"))->click();
    });
    {
        WriteLimit full(0);
        QVERIFY(full.isActive());
        tab.findChild<QPushButton *>(QStringLiteral("networkLineButton"))->click();
    }
    QVERIFY2(said.contains(QLatin1String(PortMap::kBindingFile)), qPrintable(said));
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QCOMPARE(conf.readAll(), before);
    QCOMPARE(selector(tab, 0)->findData(43), -1); // not offered as bound
}

QTEST_MAIN(TestTabSearch)
void TestTabSearch::addDialogShowsItsTitle_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Russian") << int(Translation::Russian);
    QTest::newRow("English") << int(Translation::English);
}

// Its own title, and room for it in a bold title bar beside the frame's buttons.
void TestTabSearch::addDialogShowsItsTitle()
{
    QFETCH(int, language);
    QVERIFY(Translation::install(Translation::Language(language)));
    SearchDialog dialog;
    QVERIFY(Translation::install(Translation::Russian));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!dialog.windowTitle().isEmpty());
    QFont bold = dialog.font();
    bold.setBold(true);
    const int title = QFontMetrics(bold).horizontalAdvance(dialog.windowTitle());
    QVERIFY2(dialog.width() >= title + 100, qPrintable(QStringLiteral("%1 px for a title of %2").arg(dialog.width()).arg(title)));
}

#include "tst_tabsearch.moc"
