// The main window's reactions to the connection's events, its application protocol,
// the access code, the title and the last-connection file.
#include "app/mainwindow.h"
#include "app/windowstate.h"
#include "device/appprotocolevent.h"
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protocolevent.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "exchange/changeautoconfigstate.h"
#include "exchange/configevent.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/datathread.h"
#include "exchange/runconfigeventget.h"
#include "exchange/runconfigeventprogress.h"
#include "sim/simulator.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "storage/portmap.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"
#include "tests/testwritefailure.h"
#include "tests/ui/modalanswer.h"
#include "ui/mnemonics.h"
#include "ui/search/tabsearch.h"
#include "ui/styles.h"
#include "ui/watch/tabwatch.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {
constexpr quint32 kWorkLog = 140;  // first register of the work log, three per record
constexpr quint32 kCrashLog = 50;  // first register of the crash log, nine per record
constexpr quint32 kFaultCode = 303; // the oscillogram's fault code

std::unique_ptr<DataEvent> makeEvent(int type, int value)
{
    switch (type) {
    case DataEvent::Error:
        return std::make_unique<DataEventError>(value);
    case DataEvent::Config:
        return std::make_unique<ConfigEvent>(*PacketFactory::configuration(70), value);
    case DataEvent::OscillogramGet: {
        CrashOscillogramPacket block;
        PacketRegisters::write(block, kFaultCode, quint16(value));
        return std::make_unique<CrashEventOscillogramGet>(block);
    }
    case DataEvent::Get:
        return std::make_unique<DataEventGet>(*PacketFactory::monitoring(70));
    case DataEvent::RunConfigGet:
        return std::make_unique<RunConfigEventGet>(RunConfigPacket(2));
    case DataEvent::RunConfigProgress:
        return std::make_unique<RunConfigEventProgress>(RunConfigProgressPacket());
    case DataEvent::AutoConfigStateChanged:
        return std::make_unique<ChangeAutoConfigState>(0, 1);
    default:
        return std::make_unique<DataEvent>(DataEvent::Type(type));
    }
}

// Hands an event to the window as its dispatch does; the test keeps the event.
void feed(MainWindow &w, std::unique_ptr<DataEvent> event)
{
    w.onDataEvent(event.get());
}

void setWorkRecord(ProtocolPacket &log, int i, quint16 code, quint32 time)
{
    const quint32 r = kWorkLog + 3 * i;
    PacketRegisters::write(log, r, code);
    PacketRegisters::write(log, r + 1, quint16(time & 0xFFFF));
    PacketRegisters::write(log, r + 2, quint16(time >> 16));
}

void setCrashRecord(CrashProtocolPacket &log, int i, quint16 code, quint32 time)
{
    const quint32 r = kCrashLog + 9 * i;
    PacketRegisters::write(log, r, code);
    PacketRegisters::write(log, r + 1, quint16(time & 0xFFFF));
    PacketRegisters::write(log, r + 2, quint16(time >> 16));
}

QList<int> kinds(const ProtocolList &entries)
{
    QList<int> out;
    for (int i = 0; i < entries.size(); ++i)
        out << entries.at(i).kind();
    return out;
}

QList<int> appCodes(const ProtocolList &entries)
{
    QList<int> out;
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).kind() == ProtocolEvent::Application)
            out << static_cast<const AppProtocolEvent &>(entries.at(i)).code();
    return out;
}

QString tabStates(const QTabWidget *tabs)
{
    QString s;
    for (int i = 0; i < tabs->count(); ++i)
        s += tabs->isTabEnabled(i) ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

DeviceInfo deviceAt(int port, int address, int modification)
{
    DeviceInfo d;
    d.address = address;
    d.baudRate = 19200;
    d.portNumber = port;
    d.modification = modification;
    d.currentScale = 2;
    d.minRatedCurrent = 5.0f;
    d.maxRatedCurrent = 50.0f;
    return d;
}
// The device of modification 80 that the simulator line in these tests holds at address 3.
const SimDeviceConfig kLineDevice {3, 80, 0, 19200, 1, 50};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsNotConnected();
    void eventReaction_data();
    void eventReaction();
    void linkLostThenRestored();
    void oscillogramFollowsFaultCode();
    void protocolMergeWithoutDuplicates();
    void clearedLogLeavesOnlyItsKind_data();
    void clearedLogLeavesOnlyItsKind();
    void accessCode_data();
    void accessCode();
    void accessFieldRejects();
    void exitNotConnectedLeavesEmptyFile();
    void autoConnectTakesLastCompleteRecord_data();
    void autoConnectTakesLastCompleteRecord();
    void connectedTitleAndLastConnection();
    void eventsOfAClosedConnectionAreDropped();
    void settingsDialogAppliesAtOnce();
    void opensWithinTheScreen_data();
    void opensWithinTheScreen();
    void fitsALaptopScreen();
    void placeSizeAndSplitKeptAcrossRestarts();
    void unsavedPlaceIsSaid();

private:
    QString dataFile(const QString &name) const { return dir->filePath(name); }
    void writeRecords(const QList<DeviceInfo> &records, int extraBytes);
    void enableAutoConnect(bool on);

    std::unique_ptr<QTemporaryDir> dir;
};

void TestMainWindow::init()
{
    dir = std::make_unique<QTemporaryDir>();
    DataDirectory::setOverride(dir->path());
    qputenv("ORBIX_PORTS", ""); // no bindings of the machine's own
    AppSettings::instance() = AppSettings();
}

void TestMainWindow::cleanup()
{
    dir.reset();
}

void TestMainWindow::writeRecords(const QList<DeviceInfo> &records, int extraBytes)
{
    QFile f(dataFile(QStringLiteral("last_connection.dat")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    for (const DeviceInfo &d : records)
        f.write(d.toRecord());
    f.write(QByteArray(extraBytes, '\x07'));
}

void TestMainWindow::enableAutoConnect(bool on)
{
    AppSettings settings;
    settings.autoConnect = on;
    QVERIFY(settings.save(dataFile(QStringLiteral("config.dat"))));
}

void TestMainWindow::startsNotConnected()
{
    MainWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("ОРБИКС-Сервис 11"));
    QCOMPARE(tabStates(w.tabs()), QStringLiteral("10000"));
    QCOMPARE(Mnemonics::shown(w.tabs()->tabText(3)), QStringLiteral("Токо-временная характеристика"));
    QCOMPARE(w.linkIndicator()->text(), QStringLiteral("-"));
    QCOMPARE(w.linkIndicator()->alignment(), Qt::AlignCenter);
    QVERIFY(!w.accessCodeField()->isEnabled());
    QVERIFY(!w.reportButton()->isEnabled());
    QCOMPARE(w.reportButton()->toolTip(), QStringLiteral("Сгенерировать отчёт (Ctrl+P)"));
    QVERIFY(!w.windowIcon().isNull());
}

void TestMainWindow::eventReaction_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("indicator");
    QTest::addColumn<QString>("tabs");
    QTest::addColumn<int>("currentTab");
    QTest::addColumn<QList<int>>("appEntries");
    QTest::addColumn<bool>("accessEnabled");

    const QList<int> connected {AppProtocolEvent::Connected};
    // Every row starts connected (code 1), then gets its event.
    QTest::newRow("1 connected") << 1 << 0 << "Соединение установлено" << "Подключение" << "11110" << 1
                                 << QList<int> {0, 0} << true;
    QTest::newRow("2 closed") << 2 << 0 << "Соединение разорвано" << "-" << "10000" << 0 << connected << false;
    QTest::newRow("3/0") << 3 << 0 << "Не удалось подключиться к устройству" << "Подключение" << "11110" << 1 << connected << true;
    QTest::newRow("3/1") << 3 << 1 << "Ошибка соединения: невозможно открыть порт!" << "Подключение" << "11110" << 1 << connected << true;
    QTest::newRow("3/2") << 3 << 2 << "Соединение потеряно" << "Нет связи" << "11110" << 1
                         << QList<int> {AppProtocolEvent::LinkLost, AppProtocolEvent::Connected} << true;
    QTest::newRow("3/3") << 3 << 3 << "Модификация устройства не соответствует ожидаемой" << "Подключение" << "11110" << 1 << connected << true;
    QTest::newRow("3/9") << 3 << 9 << "Соединение установлено" << "Подключение" << "11110" << 1 << connected << true;
    QTest::newRow("6/0") << 6 << 0 << "Настройки получены" << "Подключение" << "11110" << 1 << connected << true;
    QTest::newRow("6/1") << 6 << 1 << "Ошибка записи настроек" << "Подключение" << "11110" << 1 << connected << true;
    QTest::newRow("6/2") << 6 << 2 << "Настройки записаны" << "Подключение" << "11110" << 1
                         << QList<int> {AppProtocolEvent::ConfigWritten, AppProtocolEvent::Connected} << true;
    const char *results[] = {"Время настроено", "Не удалось настроить время", "Протокол аварий сброшен",
                             "Ошибка сброса протокола аварий", "Протокол работы двигателя сброшен",
                             "Ошибка сброса протокола работы двигателя", "Наработка двигателя сброшена",
                             "Ошибка сброса наработки двигателя"};
    for (int type = 7; type <= 14; ++type)
        QTest::newRow(qPrintable(QString::number(type))) << type << 0 << QString::fromUtf8(results[type - 7])
                                                         << "Подключение" << "11110" << 1 << connected << true;
    for (int type : {0, 15, 16, 18})
        QTest::newRow(qPrintable(QStringLiteral("%1 tabs only").arg(type)))
            << type << 0 << "Соединение установлено" << "Подключение" << "11110" << 1 << connected << true;
    QTest::newRow("17 with fault") << 17 << 4 << "Соединение установлено" << "Подключение" << "11111" << 1 << connected << true;
}

void TestMainWindow::eventReaction()
{
    QFETCH(int, type);
    QFETCH(int, value);
    MainWindow w;
    feed(w, std::make_unique<DataEvent>(DataEvent::Connected));
    feed(w, makeEvent(type, value));
    QTEST(w.statusBar()->currentMessage(), "status");
    QTEST(w.linkIndicator()->text(), "indicator");
    QTEST(tabStates(w.tabs()), "tabs");
    QTEST(w.tabs()->currentIndex(), "currentTab");
    QTEST(appCodes(w.protocol()), "appEntries");
    QTEST(w.accessCodeField()->isEnabled(), "accessEnabled");
    QCOMPARE(w.reportButton()->isEnabled(), w.accessCodeField()->isEnabled());
    const QMap<QString, QString> styles {{"Подключение", Styles::green()}, {"Нет связи", Styles::red()}, {"-", QString()}};
    QCOMPARE(w.linkIndicator()->styleSheet(), styles.value(w.linkIndicator()->text()));
    QCOMPARE(w.windowTitle(), QStringLiteral("ОРБИКС-Сервис 11")); // no thread: the name alone
}

void TestMainWindow::linkLostThenRestored()
{
    MainWindow w;
    feed(w, std::make_unique<DataEvent>(DataEvent::Connected));
    feed(w, std::make_unique<DataEventError>(DataEventError::LinkLost));
    QCOMPARE(w.linkIndicator()->styleSheet(), Styles::red());
    feed(w, std::make_unique<DataEvent>(DataEvent::LinkRestored));
    QCOMPARE(w.linkIndicator()->text(), QStringLiteral("Подключение"));
    QCOMPARE(w.linkIndicator()->styleSheet(), Styles::green());
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Соединение восстановлено"));
    QList<int> codes = appCodes(w.protocol());
    std::sort(codes.begin(), codes.end()); // stamped within the same second: order not defined
    QCOMPARE(codes, (QList<int> {0, 1, 2}));
}

void TestMainWindow::oscillogramFollowsFaultCode()
{
    MainWindow w;
    feed(w, std::make_unique<DataEvent>(DataEvent::Connected));
    feed(w, makeEvent(DataEvent::OscillogramGet, 7));
    QVERIFY(w.tabs()->isTabEnabled(MainWindow::CrashCurveTab));
    feed(w, makeEvent(DataEvent::OscillogramGet, 0));
    QVERIFY(!w.tabs()->isTabEnabled(MainWindow::CrashCurveTab));
}

void TestMainWindow::protocolMergeWithoutDuplicates()
{
    ProtocolPacket work;
    CrashProtocolPacket crash(2);
    setWorkRecord(work, 0, 2, 1700000000);
    setWorkRecord(work, 1, 1, 1700000500);
    setWorkRecord(work, 2, 0, 1700000900); // an empty slot, never added
    setCrashRecord(crash, 0, 5, 1700000300);
    setCrashRecord(crash, 3, 0, 1700000400);
    MainWindow w;
    feed(w, std::make_unique<DataEventGetProtocol>(work, crash));
    feed(w, std::make_unique<DataEventGetProtocol>(work, crash));
    QCOMPARE(kinds(w.protocol()), (QList<int> {1, 2, 1}));
    QList<qint64> times;
    for (int i = 0; i < w.protocol().size(); ++i)
        times << w.protocol().at(i).time().toSecsSinceEpoch();
    QCOMPARE(times, (QList<qint64> {1700000500, 1700000300, 1700000000}));
    setWorkRecord(work, 2, 2, 1700000900); // a new record next to the known ones
    feed(w, std::make_unique<DataEventGetProtocol>(work, crash));
    QCOMPARE(kinds(w.protocol()), (QList<int> {1, 1, 2, 1}));
}

void TestMainWindow::clearedLogLeavesOnlyItsKind_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<int>>("kindsLeft");
    QTest::newRow("crash log cleared") << 9 << QList<int> {0, 1, 1};
    QTest::newRow("work log cleared") << 11 << QList<int> {0, 2, 2};
    QTest::newRow("clear failed") << 10 << QList<int> {0, 1, 2, 1, 2};
}

void TestMainWindow::clearedLogLeavesOnlyItsKind()
{
    QFETCH(int, type);
    ProtocolPacket work;
    CrashProtocolPacket crash(2);
    setWorkRecord(work, 0, 2, 1000000400);
    setWorkRecord(work, 1, 1, 1000000200);
    setCrashRecord(crash, 0, 3, 1000000300);
    setCrashRecord(crash, 1, 4, 1000000100);
    MainWindow w;
    feed(w, std::make_unique<DataEvent>(DataEvent::Connected)); // an application entry of today: newest
    feed(w, std::make_unique<DataEventGetProtocol>(work, crash));
    QCOMPARE(kinds(w.protocol()), (QList<int> {0, 1, 2, 1, 2}));
    feed(w, std::make_unique<DataEvent>(DataEvent::Type(type)));
    QTEST(kinds(w.protocol()), "kindsLeft");
}

void TestMainWindow::accessCode_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("present");
    QTest::addColumn<int>("code");
    QTest::newRow("leading zeros") << "0042" << true << 42;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("largest") << "9999" << true << 9999;
}

void TestMainWindow::accessCode()
{
    QFETCH(QString, typed);
    MainWindow w;
    feed(w, std::make_unique<DataEvent>(DataEvent::Connected));
    QTest::keyClicks(w.accessCodeField(), typed);
    QCOMPARE(w.accessCodeField()->text(), typed);
    QTEST(w.hasAccessCode(), "present");
    QTEST(int(w.accessCode()), "code");
    QCOMPARE(w.accessCodeField()->echoMode(), QLineEdit::Password);
    feed(w, std::make_unique<DataEvent>(DataEvent::Disconnected));
    QVERIFY(w.accessCodeField()->text().isEmpty());
}

void TestMainWindow::accessFieldRejects()
{
    MainWindow w;
    feed(w, std::make_unique<DataEvent>(DataEvent::Connected));
    QTest::keyClicks(w.accessCodeField(), QStringLiteral("12a-345"));
    QCOMPARE(w.accessCodeField()->text(), QStringLiteral("1234"));
    QCOMPARE(w.accessCodeField()->width(), 50);
}

void TestMainWindow::exitNotConnectedLeavesEmptyFile()
{
    writeRecords({deviceAt(3, 1, 70)}, 0);
    {
        MainWindow w; // auto-connect is off by default
        QVERIFY(!w.dataThread());
    }
    QFile f(dataFile(QStringLiteral("last_connection.dat")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), 0);
    QVERIFY(QFile::exists(dataFile(QStringLiteral("config.dat"))));
}

void TestMainWindow::autoConnectTakesLastCompleteRecord_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("extraBytes");
    QTest::newRow("empty file") << 0 << 0;
    QTest::newRow("one record") << 1 << 0;
    QTest::newRow("two and a partial one") << 2 << 20;
}

void TestMainWindow::autoConnectTakesLastCompleteRecord()
{
    QFETCH(int, records);
    QFETCH(int, extraBytes);
    const QList<DeviceInfo> all {deviceAt(61, 4, 70), deviceAt(62, 9, 80)};
    writeRecords(all.mid(0, records), extraBytes);
    enableAutoConnect(true);
    MainWindow w; // no such port: the thread gives up with code 3/1 later
    if (records == 0) {
        QVERIFY(!w.currentDevice());
        return;
    }
    QVERIFY(w.currentDevice());
    QCOMPARE(w.currentDevice()->toRecord(), all.at(records - 1).toRecord());
    QVERIFY(QTest::qWaitFor([&] { return !w.dataThread(); }, 10000));
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("Ошибка соединения: невозможно открыть порт!"));
}

void TestMainWindow::connectedTitleAndLastConnection()
{
    Simulator sim;
    sim.addDevice(kLineDevice);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    PortMap::bindForSession(57, sim.linkPath());
    const DeviceInfo device = SimIdentity::of(kLineDevice, 57);
    {
        MainWindow w;
        w.setTiming(testTiming());
        w.connectDevice(device);
        QVERIFY(QTest::qWaitFor([&] { return w.linkIndicator()->text() == QStringLiteral("Подключение"); }, 15000));
        QCOMPARE(w.windowTitle(), QStringLiteral("ОРБИКС-Сервис 11 [ОРБИКС-11 50-500 v0.80 / 3 / COM57]"));
        QCOMPARE(w.tabs()->currentIndex(), int(MainWindow::WatchTab));
    }
    QFile f(dataFile(QStringLiteral("last_connection.dat")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), device.toRecord());
    // The next start with auto-connect takes the same device again.
    enableAutoConnect(true);
    MainWindow again;
    QVERIFY(again.currentDevice());
    QCOMPARE(again.currentDevice()->toRecord(), device.toRecord());
    again.disconnectDevice();
    QCOMPARE(again.windowTitle(), QStringLiteral("ОРБИКС-Сервис 11"));
    QVERIFY(again.protocol().isEmpty());
}

// Events a connection queued before it was closed arrive after the close: they
// must change nothing, and after a new connection only its own events count.
void TestMainWindow::eventsOfAClosedConnectionAreDropped()
{
    Simulator sim;
    sim.addDevice(kLineDevice);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    PortMap::bindForSession(58, sim.linkPath());
    const DeviceInfo device = SimIdentity::of(kLineDevice, 58);
    // A reply still on its way when a connection closes would reach the next one.
    auto lineQuiet = [&sim] {
        const QVector<SimRequest> asked = sim.requests();
        return sim.waitForReplies(int(std::count_if(asked.begin(), asked.end(),
                                                    [](const SimRequest &r) { return r.answered; })),
                                  5000);
    };
    MainWindow w;
    w.setTiming(testTiming());
    // Without an event loop the thread's events stay queued: connected (1),
    // configuration (6), then the first cycle's, once its requests are seen.
    w.connectDevice(device);
    QVERIFY(sim.waitForRequests(8, 15000));
    w.disconnectDevice();
    QCoreApplication::processEvents();
    QCOMPARE(tabStates(w.tabs()), QStringLiteral("10000"));
    QCOMPARE(w.linkIndicator()->text(), QStringLiteral("-"));
    QVERIFY(w.protocol().isEmpty());
    QVERIFY(!w.accessCodeField()->isEnabled());
    QVERIFY(lineQuiet());

    // The same again, but the next connection starts before the queue is served.
    w.connectDevice(device);
    QVERIFY(sim.waitForRequests(sim.requests().size() + 8, 15000));
    w.disconnectDevice();
    QVERIFY(lineQuiet());
    w.connectDevice(device);
    // Counted in this thread after the window has had each event (it was connected first).
    int seen = 0;
    QObject receiver;
    connect(w.dataThread(), &DataThread::dataEvent, &receiver, [&seen] { ++seen; });
    QVERIFY(QTest::qWaitFor([&] { return seen >= 3; }, 15000)); // connected, configuration, a cycle
    QCOMPARE(appCodes(w.protocol()), QList<int> {AppProtocolEvent::Connected}); // once: the new one
    QCOMPARE(tabStates(w.tabs()), QStringLiteral("11110"));
}

void TestMainWindow::settingsDialogAppliesAtOnce()
{
    MainWindow w;
    AppSettings::instance().plotInterval = 5400;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = dialog->windowTitle() == QStringLiteral("Параметры");
        const QList<QSpinBox *> boxes = dialog->findChildren<QSpinBox *>();
        for (QSpinBox *box : boxes)
            box->setValue(box->suffix() == QStringLiteral("ч.") ? 2 : 5);
        dialog->accept();
    });
    w.onBtnShowAppConfig();
    QVERIFY(seen);
    QCOMPARE(AppSettings::instance().plotInterval, 2 * 3600 + 5 * 60);
}

void TestMainWindow::opensWithinTheScreen_data()
{
    QTest::addColumn<QByteArray>("windowFile");
    QTest::newRow("first start") << QByteArray();
    QTest::newRow("left on a screen no longer there") << QByteArray("geometry=5000,3000,1200,1000\n");
    QTest::newRow("damaged file") << QByteArray("geometry=5000,-9,abc\nwatchSplit=0,0\n\xff\xfe");
}

void TestMainWindow::opensWithinTheScreen()
{
    QFETCH(QByteArray, windowFile);
    if (!windowFile.isEmpty()) {
        QFile file(dataFile(QLatin1String(WindowState::kFileName)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(windowFile);
    }
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(available.contains(w.frameGeometry()), qPrintable(QStringLiteral("%1x%2+%3+%4 on %5x%6")
        .arg(w.width()).arg(w.height()).arg(w.x()).arg(w.y()).arg(available.width()).arg(available.height())));
}

// Whatever the test screen: the window can be made small enough for a 1366 x 768
// laptop with a frame around it, with both working tabs in it.
void TestMainWindow::fitsALaptopScreen()
{
    const QSize laptop = QRect(0, 0, 1366, 768).marginsRemoved(WindowState::kFrameAllowance).size();
    MainWindow w;
    feed(w, std::make_unique<DataEvent>(DataEvent::Connected)); // the watch tab in front
    const QSize least = w.minimumSizeHint();
    QVERIFY2(least.width() <= laptop.width() && least.height() <= laptop.height(),
             qPrintable(QStringLiteral("least size %1x%2").arg(least.width()).arg(least.height())));
}

void TestMainWindow::placeSizeAndSplitKeptAcrossRestarts()
{
    const QRect place(20, 40, 700, 520); // inside the test screen's area
    QList<int> split;
    {
        MainWindow w;
        feed(w, std::make_unique<DataEvent>(DataEvent::Connected)); // the watch tab in front
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.setGeometry(place);
        QTRY_COMPARE(w.geometry(), place);
        w.tabWatch()->setSizes({150, 230});
        split = w.tabWatch()->sizes();
        QVERIFY(w.close());
    }
    MainWindow again;
    QCOMPARE(again.geometry(), place);
    feed(again, std::make_unique<DataEvent>(DataEvent::Connected));
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(again.tabWatch()->sizes(), split);
    again.setWindowState(Qt::WindowMaximized);
    QVERIFY(again.close());

    {
        // A session that never connects leaves the split as it found it.
        MainWindow unconnected;
        unconnected.show();
        QVERIFY(QTest::qWaitForWindowExposed(&unconnected));
        QVERIFY(unconnected.close());
    }

    MainWindow maximized;
    QVERIFY(maximized.windowState() & Qt::WindowMaximized);
    feed(maximized, std::make_unique<DataEvent>(DataEvent::Connected));
    maximized.setWindowState(Qt::WindowNoState);
    maximized.setGeometry(place);
    maximized.show();
    QVERIFY(QTest::qWaitForWindowExposed(&maximized));
    QTRY_COMPARE(maximized.geometry(), place);
    QCOMPARE(maximized.tabWatch()->sizes(), split);
}

// A disk that takes no byte: the window says so on closing and window.conf stays as it was.
void TestMainWindow::unsavedPlaceIsSaid()
{
    const QByteArray before("geometry=20,40,700,520\n");
    QFile file(dataFile(QLatin1String(WindowState::kFileName)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(before);
    file.close();
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QString said;
    answerNextModal([&said](QWidget *box) {
        said = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
        box->close();
    });
    {
        WriteLimit full(0);
        QVERIFY(full.isActive());
        QVERIFY(w.close());
    }
    QVERIFY2(said.contains(QLatin1String(WindowState::kFileName)), qPrintable(said));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
