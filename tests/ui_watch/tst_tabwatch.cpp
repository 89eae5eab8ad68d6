// The watch tab's state panel, enabling rules, commands and connection handling.
#include "tests/ui/fakemaincontrol.h"

#include "device/appprotocolevent.h"
#include "device/configpacket.h"
#include "device/packetregisters.h"
#include "device/watchdatapacket80.h"
#include "exchange/configevent.h"
#include "exchange/dataeventerror.h"
#include "exchange/dataeventget.h"
#include "plots/tempplot.h"
#include "plots/watchplot.h"
#include "ui/styles.h"
#include "ui/watch/tableprotocol.h"
#include "ui/watch/tabwatch.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <ctime>

namespace {
// Configuration the rows start from: every protection and remote control on.
struct Config
{
    int input1 = 0;
    int input2 = 0;
    bool humidity = true;
    bool pt100 = true;
    bool ptc = true;
    bool remote = true;
    int powerOutput = 2;
    int auxOutput = 4;
};

// "reg=value reg=value", values decimal or 0x-hex.
template <class Packet>
Packet packetWith(const QString &registers)
{
    Packet packet;
    for (const QString &pair : registers.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(QLatin1Char('='));
        const quint16 value = quint16(parts.at(1).toUInt(nullptr, 0));
        if (!PacketRegisters::write(packet, parts.at(0).toUInt(), value))
            qFatal("register %s not in the block", qPrintable(parts.at(0)));
    }
    return packet;
}

// "in1=1 in2=5 hum=0 pt100=0 ptc=0 remote=0 power=2 aux=4": changes to the defaults.
Config configFrom(const QString &text)
{
    Config c;
    for (const QString &pair : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList kv = pair.split(QLatin1Char('='));
        const int v = kv.at(1).toInt();
        const QString &k = kv.at(0);
        if (k == "in1") c.input1 = v;
        else if (k == "in2") c.input2 = v;
        else if (k == "hum") c.humidity = v;
        else if (k == "pt100") c.pt100 = v;
        else if (k == "ptc") c.ptc = v;
        else if (k == "remote") c.remote = v;
        else if (k == "power") c.powerOutput = v;
        else if (k == "aux") c.auxOutput = v;
        else qFatal("unknown config key");
    }
    return c;
}
} // namespace

class TestTabWatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void panel_data();
    void panel();
    void controls_data();
    void controls();
    void commandsGoThroughMainWindow();
    void commandFromOtherSenderIgnored();
    void startCounter_data();
    void startCounter();
    void reconnectionKeepsOnlyTheSameDevicesTemperatures_data();
    void reconnectionKeepsOnlyTheSameDevicesTemperatures();
    void lostLinkLooksStale_data();
    void lostLinkLooksStale();
    void monitoringFeedsBothPlots();
    void plotIntervalReachesBothPlots();
    void protocolRefresh();
    void firstSplit_data();
    void firstSplit();
    void splitTakesOnePositiveHeightPerPart_data();
    void splitTakesOnePositiveHeightPerPart();

private:
    void sendConfig(const Config &c);
    void sendMonitoring(const WatchDataPacket &packet);
    QLabel *label(const char *name) const { return tab->findChild<QLabel *>(QLatin1String(name)); }
    QPushButton *button(const char *name) const { return tab->findChild<QPushButton *>(QLatin1String(name)); }

    FakeMainControl *main = nullptr;
    TabWatch *tab = nullptr;
};

void TestTabWatch::initTestCase()
{
    // Device times are shown in local time; fix the zone so the rows hold.
    qputenv("TZ", "UTC");
    tzset();
}

void TestTabWatch::init()
{
    main = new FakeMainControl;
    main->device.modification = 80;
    main->device.currentScale = 10;
    main->connected = true;
    tab = new TabWatch(main);
}

void TestTabWatch::cleanup()
{
    delete tab;
    delete main;
}

void TestTabWatch::sendConfig(const Config &c)
{
    ConfigPacket config;
    using F = ConfigFields;
    F::setValue(config, F::Input1Function, c.input1);
    F::setValue(config, F::Input2Function, c.input2);
    F::setValue(config, F::HumidityProtection, c.humidity);
    F::setValue(config, F::Pt100Protection, c.pt100);
    F::setValue(config, F::PtcProtection, c.ptc);
    F::setValue(config, F::RemoteControl, c.remote);
    F::setValue(config, F::PowerOutputFunction, c.powerOutput);
    F::setValue(config, F::AuxOutputFunction, c.auxOutput);
    const ConfigEvent event(config, ConfigEvent::Read);
    tab->onDataEvent(&event);
}

void TestTabWatch::sendMonitoring(const WatchDataPacket &packet)
{
    const DataEventGet event(packet);
    tab->onDataEvent(&event);
}

void TestTabWatch::panel_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("registers");
    QTest::addColumn<QString>("labelName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("style");

    const QString red = Styles::red(), green = Styles::green(), yellow = Styles::yellow();
    const QString plain = Styles::plain(), none;
    QTest::newRow("no alarm") << "" << "34=0" << "alarmLabel" << "АВАРИЙ НЕТ" << green;
    QTest::newRow("alarm 0x32") << "" << "34=0x0032" << "alarmLabel"
                                << "Выход напряжения сети за установленные границы" << red;
    QTest::newRow("alarm without text") << "" << "34=71" << "alarmLabel" << "" << red;
    QTest::newRow("input 1 external alarm") << "in1=1" << "36=1" << "input1Label" << "ВХОД 1" << red;
    QTest::newRow("input 1 other function") << "in1=3" << "36=1" << "input1Label" << "ВХОД 1" << yellow;
    QTest::newRow("input 1 inactive") << "in1=1" << "36=2" << "input1Label" << "ВХОД 1" << none;
    QTest::newRow("humidity water, protection on") << "in2=5" << "36=0 40=2" << "input2Label"
                                                   << "ВЛАЖНОСТЬ\nВОДА" << red;
    QTest::newRow("humidity water, protection off") << "in2=5 hum=0" << "36=0 40=2" << "input2Label"
                                                    << "ВЛАЖНОСТЬ\nВОДА" << none;
    QTest::newRow("humidity normal, bit set") << "in2=5" << "36=2 40=1" << "input2Label"
                                              << "ВЛАЖНОСТЬ\nНОРМА" << green;
    QTest::newRow("humidity open") << "in2=5" << "36=2 40=0" << "input2Label" << "ВЛАЖНОСТЬ\nОБРЫВ" << green;
    QTest::newRow("humidity unknown state") << "in2=5" << "36=2 40=3" << "input2Label" << "ВЛАЖНОСТЬ\n" << green;
    QTest::newRow("input 2 external alarm") << "in2=1" << "36=2" << "input2Label" << "ВХОД 2" << red;
    QTest::newRow("input 2 other function") << "in2=2" << "36=2" << "input2Label" << "ВХОД 2" << yellow;
    QTest::newRow("input 2 inactive") << "in2=1" << "36=1" << "input2Label" << "ВХОД 2" << none;
    QTest::newRow("power output on") << "" << "37=1" << "powerOutLabel" << "СИЛОВОЙ ВЫХОД - 1" << yellow;
    QTest::newRow("power output off") << "" << "37=0x8002" << "powerOutLabel" << "СИЛОВОЙ ВЫХОД - 0" << none;
    QTest::newRow("aux output on") << "" << "37=2" << "auxOutLabel" << "Доп. выход" << yellow;
    QTest::newRow("aux output off") << "" << "37=1" << "auxOutLabel" << "Доп. выход" << none;
    QTest::newRow("motor running") << "" << "38=5" << "motorLabel" << "ДВИГАТЕЛЬ\nРАБОТАЕТ" << yellow;
    QTest::newRow("motor stopped") << "" << "38=0" << "motorLabel" << "ДВИГАТЕЛЬ\nНЕ РАБОТАЕТ" << plain;
    QTest::newRow("ptc normal") << "" << "39=1" << "ptcLabel" << "ТЕРМОДАТЧИК РТС\nНОРМА" << green;
    QTest::newRow("ptc open") << "" << "39=0" << "ptcLabel" << "ТЕРМОДАТЧИК РТС\nОБРЫВ" << red;
    QTest::newRow("ptc overheat") << "" << "39=2" << "ptcLabel" << "ТЕРМОДАТЧИК РТС\nПЕРЕГРЕВ" << red;
    QTest::newRow("ptc short") << "" << "39=3" << "ptcLabel" << "ТЕРМОДАТЧИК РТС\nЗАМЫКАНИЕ" << red;
    QTest::newRow("ptc state 7") << "" << "39=7" << "ptcLabel" << "ТЕРМОДАТЧИК РТС\n" << none;
    QTest::newRow("ptc protection off") << "ptc=0" << "39=2" << "ptcLabel" << "ТЕРМОДАТЧИК РТС\nПЕРЕГРЕВ" << none;
    QTest::newRow("pt100 25") << "" << "41=25" << "pt100Label" << "ТЕРМОДАТЧИК РТ100\nНОРМА" << green;
    QTest::newRow("pt100 short") << "" << "41=0xFF9D" << "pt100Label" << "ТЕРМОДАТЧИК РТ100\nЗАМЫКАНИЕ" << red;
    QTest::newRow("pt100 open") << "" << "41=0x03E7" << "pt100Label" << "ТЕРМОДАТЧИК РТ100\nОБРЫВ" << red;
    QTest::newRow("pt100 -10") << "" << "41=0xFFF6" << "pt100Label" << "ТЕРМОДАТЧИК РТ100\nНОРМА" << green;
    QTest::newRow("pt100 protection off") << "pt100=0" << "41=999" << "pt100Label"
                                          << "ТЕРМОДАТЧИК РТ100\nОБРЫВ" << none;
    QTest::newRow("running hours") << "" << "170=1234" << "hoursLabel" << "Наработка двигателя: 1234ч." << none;
    QTest::newRow("device time") << "" << "48=0x5678 49=0x1234" << "deviceTimeLabel" << "05.09.1979 22:51:36"
                                 << "border:1px solid #000000;";
}

void TestTabWatch::panel()
{
    QFETCH(QString, config);
    QFETCH(QString, registers);
    QFETCH(QString, labelName);
    QFETCH(QString, text);
    QFETCH(QString, style);

    sendConfig(configFrom(config));
    sendMonitoring(packetWith<WatchDataPacket80>(registers));
    QLabel *l = label(qPrintable(labelName));
    QVERIFY(l);
    QCOMPARE(l->text(), text);
    QCOMPARE(l->styleSheet(), style);
}

void TestTabWatch::controls_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("registers");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<bool>("aux");
    QTest::addColumn<QString>("auxText");

    QTest::newRow("all allowed") << "" << "37=0x8000" << true << true << true << true << "Доп. выход\nвкл";
    QTest::newRow("stop not permitted") << "" << "37=0" << true << true << false << true << "Доп. выход\nвкл";
    QTest::newRow("no remote control") << "remote=0" << "37=0x8002" << false << false << false << true
                                       << "Доп. выход\nвыкл";
    QTest::newRow("power output not forward") << "power=1" << "37=0x8000" << true << false << true << true
                                              << "Доп. выход\nвкл";
    QTest::newRow("aux output not remote") << "aux=3" << "37=2" << true << true << false << false
                                           << "Доп. выход\nвыкл";
}

void TestTabWatch::controls()
{
    QFETCH(QString, config);
    QFETCH(QString, registers);

    sendConfig(configFrom(config));
    sendMonitoring(packetWith<WatchDataPacket80>(registers));
    QTEST(button("forwardButton")->isEnabled(), "forward");
    QTEST(button("backwardButton")->isEnabled(), "backward");
    QTEST(button("stopButton")->isEnabled(), "stop");
    QTEST(button("auxOutButton")->isEnabled(), "aux");
    QTEST(button("auxOutButton")->text(), "auxText");
}

void TestTabWatch::commandsGoThroughMainWindow()
{
    sendConfig(Config());
    sendMonitoring(packetWith<WatchDataPacket80>("37=0x8000"));
    QTest::mouseClick(button("forwardButton"), Qt::LeftButton);
    QTest::mouseClick(button("backwardButton"), Qt::LeftButton);
    QTest::mouseClick(button("stopButton"), Qt::LeftButton);
    QCOMPARE(main->commands, QList<EngineCommand>({EngineCommand::Forward, EngineCommand::Backward, EngineCommand::Stop}));
    QCOMPARE(main->toggles, 0);
    QTest::mouseClick(button("auxOutButton"), Qt::LeftButton);
    QCOMPARE(main->toggles, 1);
    // The button names the action from the device's report, not from the click.
    QCOMPARE(button("auxOutButton")->text(), QString("Доп. выход\nвкл"));
}

void TestTabWatch::commandFromOtherSenderIgnored()
{
    QVERIFY(QMetaObject::invokeMethod(tab, "onBtnEngineCommandClicked"));
    QVERIFY(main->commands.isEmpty());
}

void TestTabWatch::startCounter_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");

    QTest::newRow("79") << 79 << false << "Количество пусков двигателя: 0";
    QTest::newRow("80") << 80 << true << "Количества пусков двигателя: 65541";
}

void TestTabWatch::startCounter()
{
    QFETCH(int, modification);
    main->device.modification = modification;
    tab->show();
    const DataEvent connected(DataEvent::Connected);
    tab->onDataEvent(&connected);
    sendConfig(Config());
    sendMonitoring(packetWith<WatchDataPacket80>("171=5 172=1"));
    QLabel *starts = label("startsLabel");
    QTEST(starts->isVisible(), "visible");
    QTEST(starts->text(), "text");
}

void TestTabWatch::reconnectionKeepsOnlyTheSameDevicesTemperatures_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("temperaturesKept");

    QTest::newRow("same line and address") << 5 << 7 << 1;
    QTest::newRow("another address") << 5 << 8 << 0;
    QTest::newRow("another line") << 6 << 7 << 0;
}

void TestTabWatch::reconnectionKeepsOnlyTheSameDevicesTemperatures()
{
    main->device.portNumber = 5;
    main->device.address = 7;
    const DataEvent connected(DataEvent::Connected);
    tab->onDataEvent(&connected);
    sendConfig(Config());
    sendMonitoring(packetWith<WatchDataPacket>("41=30 42=12"));
    QCOMPARE(tab->tempPlot()->samples().size(), 1);
    QFETCH(int, port);
    QFETCH(int, address);
    main->device.portNumber = port;
    main->device.address = address;
    main->device.currentScale = 1;
    tab->onDataEvent(&connected);
    QTEST(tab->tempPlot()->samples().size(), "temperaturesKept");
    QCOMPARE(tab->watchPlot()->samples().size(), 0); // the live plot starts afresh on every connection
    QCOMPARE(tab->watchPlot()->currentScale().decimals(), 0);
}

void TestTabWatch::lostLinkLooksStale_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("stale");

    QTest::newRow("link lost") << int(DataEvent::Error) << int(DataEventError::LinkLost) << true;
    QTest::newRow("disconnected") << int(DataEvent::Disconnected) << 0 << true;
    QTest::newRow("identification failed") << int(DataEvent::Error) << int(DataEventError::IdentificationMismatch)
                                           << false;
    QTest::newRow("link restored, no reading yet") << int(DataEvent::LinkRestored) << 0 << false;
}

void TestTabWatch::lostLinkLooksStale()
{
    QFETCH(int, type);
    QFETCH(int, error);
    QFETCH(bool, stale);
    sendConfig(Config());
    const QTime before = QTime::currentTime();
    sendMonitoring(packetWith<WatchDataPacket80>("34=0 37=0x8000 38=1 170=12")); // every command allowed
    const QTime after = QTime::currentTime();
    std::unique_ptr<DataEvent> event;
    if (type == DataEvent::Error)
        event = std::make_unique<DataEventError>(error);
    else
        event = std::make_unique<DataEvent>(DataEvent::Type(type));
    tab->onDataEvent(event.get());
    QLabel *lost = label("linkLostLabel");
    QCOMPARE(lost->isVisibleTo(tab), stale);
    QCOMPARE(label("alarmLabel")->text(), QString("АВАРИЙ НЕТ")); // the last values stay
    QCOMPARE(label("alarmLabel")->styleSheet().contains("color: #808080;"), stale);
    QCOMPARE(label("motorLabel")->styleSheet() == Styles::yellow(), !stale);
    QCOMPARE(label("hoursLabel")->styleSheet().contains("#808080"), stale);
    const char *const commands[] = {"forwardButton", "backwardButton", "stopButton", "auxOutButton"};
    for (const char *name : commands) // greyed while the link is down: never carried out late
        QVERIFY2(button(name)->isEnabled() == !stale, name);
    if (stale) {
        const QStringList times {"Нет связи с " + before.toString("hh:mm:ss"), "Нет связи с " + after.toString("hh:mm:ss")};
        QVERIFY2(times.contains(lost->text()), qPrintable(lost->text()));
    }
    sendMonitoring(packetWith<WatchDataPacket80>("34=0x0032 37=0x8000 38=0"));
    QVERIFY(!lost->isVisibleTo(tab));
    for (const char *name : commands)
        QVERIFY2(button(name)->isEnabled(), name);
    QCOMPARE(label("alarmLabel")->styleSheet(), Styles::red());
    QCOMPARE(label("motorLabel")->styleSheet(), Styles::plain());
    QCOMPARE(label("hoursLabel")->styleSheet(), QString());
}

void TestTabWatch::monitoringFeedsBothPlots()
{
    sendConfig(Config());
    sendMonitoring(packetWith<WatchDataPacket>("33=87 41=0xFFF6 42=11 43=12 44=13 45=380 46=381 47=379"));
    const SampleBuffer &live = tab->watchPlot()->samples();
    const double expected[] = {1.1, 1.2, 1.3, 380, 381, 379}; // currents at 10 counts per ampere
    for (int c = 0; c < WatchPlot::kCurves; ++c)
        QCOMPARE(live.newest(c), expected[c]);
    QCOMPARE(tab->tempPlot()->samples().newest(TempPlot::Temperature), -10.0);
    QCOMPARE(tab->tempPlot()->samples().newest(TempPlot::Heating), 87.0);
}

void TestTabWatch::plotIntervalReachesBothPlots()
{
    tab->setPlotInterval(89940);
    QCOMPARE(tab->watchPlot()->interval(), 89940);
    QCOMPARE(tab->tempPlot()->interval(), 89940);
}

void TestTabWatch::protocolRefresh()
{
    QAbstractItemModel *model = tab->protocolTable()->model();
    QCOMPARE(model->rowCount(), 0);
    main->entries.insert(std::make_unique<AppProtocolEvent>(AppProtocolEvent::Connected));
    tab->protocolChanged();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, 1).data().toString(), QString("Подключение"));
}

void TestTabWatch::firstSplit_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rows");
    QTest::newRow("a tall screen: six entries") << 900 << 6;
    QTest::newRow("a laptop: fewer, the plots keep half") << 574 << 2;
}

// The whole panel, the plots at least half, the protocol its first entries; the split
// follows the tab's height until the user moves it.
void TestTabWatch::firstSplit()
{
    QFETCH(int, height);
    QFETCH(int, rows);
    tab->resize(1200, 400);
    tab->show();
    QVERIFY(QTest::qWaitForWindowExposed(tab));
    tab->resize(1200, height); // shown first at another height, as a window before it is maximised
    QTRY_COMPARE(tab->height(), height);
    const TableProtocol *table = tab->protocolTable();
    QVERIFY(table->viewport()->height() >= rows * table->verticalHeader()->defaultSectionSize());
    const int plots = tab->watchPlot()->height() + tab->tempPlot()->height();
    QVERIFY2(2 * plots >= height, qPrintable(QString::number(plots)));
    const auto *panel = tab->findChild<QWidget *>(QStringLiteral("watchPanel"));
    QVERIFY(panel->height() >= tab->findChild<QWidget *>(QStringLiteral("alarmLabel"))->parentWidget()->height());
    const QList<int> chosen {panel->height(), plots - 40, tab->sizes()[2] + 40};
    QVERIFY(tab->setSplit(chosen));
    tab->resize(1200, height + 100);
    QTRY_COMPARE(tab->height(), height + 100);
    QCOMPARE(tab->sizes()[0], chosen[0]); // the new height went to the plots alone
    QCOMPARE(tab->sizes()[2], chosen[2]);
}

void TestTabWatch::splitTakesOnePositiveHeightPerPart_data()
{
    QTest::addColumn<QList<int>>("heights");
    QTest::addColumn<bool>("taken");
    QTest::newRow("none") << QList<int>() << false;
    QTest::newRow("one part") << QList<int> {500} << false;
    QTest::newRow("plots and protocol, the older layout") << QList<int> {450, 200} << false;
    QTest::newRow("a collapsed protocol") << QList<int> {150, 500, 0} << false;
    QTest::newRow("a negative height") << QList<int> {150, -5, 500} << false;
    QTest::newRow("four parts") << QList<int> {150, 300, 100, 100} << false;
    QTest::newRow("panel, plots and protocol") << QList<int> {150, 350, 150} << true;
}

// A split from a damaged file must not collapse a part nor move the handle.
void TestTabWatch::splitTakesOnePositiveHeightPerPart()
{
    QFETCH(QList<int>, heights);
    QFETCH(bool, taken);
    tab->resize(1200, 650 + 2 * tab->handleWidth());
    tab->show();
    QVERIFY(QTest::qWaitForWindowExposed(tab));
    const QList<int> before = tab->sizes();
    QCOMPARE(tab->setSplit(heights), taken);
    QCOMPARE(tab->sizes(), taken ? heights : before);
}

QTEST_MAIN(TestTabWatch)
#include "tst_tabwatch.moc"
