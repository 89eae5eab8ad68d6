// The setup tab against a stand-in main window: its consistency marks, the
// modification-dependent editors, the conversions between editors and words, the
// access-code gate, the re-enabling of the commands and the settings files.
#include "tests/ui/fakemaincontrol.h"
#include "tests/ui_setup/modalanswerer.h"

#include "device/configfields.h"
#include "device/configpacketv70.h"
#include "device/currentdeviceversion.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "exchange/changeautoconfigstate.h"
#include "exchange/configevent.h"
#include "exchange/dataeventget.h"
#include "i18n/translation.h"
#include "storage/settingsfile.h"
#include "ui/setup/tabsetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
using F = ConfigFields;
const QString kComboMark = ":editable { background-color: #FF3300; } ";
const QString kCheckMark = "background-color: #FF3300;";

// A block that passes every rule: inputs off, standard outputs, no humidity, no fast protection.
std::unique_ptr<ConfigPacket> validBlock(int modification)
{
    auto block = PacketFactory::configuration(modification);
    F::setValue(*block, F::RatedCurrent, 20); // 10 A at scale 2
    for (F::Id id : {F::MinCurrent, F::ImbalanceThreshold, F::SwitchOnDelay, F::CyclicWorkTime, F::CyclicPauseTime,
                     F::SwitchDelay})
        F::setValue(*block, id, 5);
    F::setValue(*block, F::OverloadMultiple, 3);
    F::setValue(*block, F::DoubleOverloadTime, 60);
    F::setValue(*block, F::OverloadReactionTime, 500);
    F::setValue(*block, F::Pt100Threshold, 120);
    F::setValue(*block, F::ImbalanceTripTime, 300);
    return block;
}
} // namespace

class TestTabSetup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void consistencyRules_data();
    void consistencyRules();
    void ruleToolTips_data();
    void ruleToolTips();
    void modificationEditors_data();
    void modificationEditors();
    void earlierConnectionKeepsLargerEditors();
    void conversionsThroughEditors_data();
    void conversionsThroughEditors();
    void buildsTheConnectedModificationsClass_data();
    void buildsTheConnectedModificationsClass();
    void guardedCommands_data();
    void guardedCommands();
    void resultsReenableWithTheCheck_data();
    void resultsReenableWithTheCheck();
    void writeNotHandedOverKeepsButtons();
    void refusedWriteKeepsTheEdits_data();
    void refusedWriteKeepsTheEdits();
    void autoSetupDoneReadsAgain();
    void settingsFileShowsDifferences();
    void settingsFileOfAnotherClass();
    void settingsFileRefused_data();
    void settingsFileRefused();
    void fitsALaptop_data();
    void fitsALaptop();

private:
    void connectDevice(int modification, int scale = 2);
    void sendConfig(const ConfigPacket &block, int result = ConfigEvent::Read);
    void sendType(int type);
    QPushButton *button(const char *name) const { return tab->findChild<QPushButton *>(QLatin1String(name)); }
    QCheckBox *check(F::Id id) const { return qobject_cast<QCheckBox *>(tab->editor(id)); }
    QComboBox *combo(F::Id id) const { return qobject_cast<QComboBox *>(tab->editor(id)); }
    QSpinBox *spin(F::Id id) const { return qobject_cast<QSpinBox *>(tab->editor(id)); }
    QDoubleSpinBox *dspin(F::Id id) const { return qobject_cast<QDoubleSpinBox *>(tab->editor(id)); }
    QString writeFile(const QByteArray &bytes);

    FakeMainControl *main = nullptr;
    TabSetup *tab = nullptr;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestTabSetup::init()
{
    currentDeviceVersion = 0;
    main = new FakeMainControl;
    tab = new TabSetup(main);
    dir = std::make_unique<QTemporaryDir>();
}

void TestTabSetup::cleanup()
{
    delete tab;
    delete main;
    dir.reset();
}

void TestTabSetup::connectDevice(int modification, int scale)
{
    main->device = DeviceInfo();
    main->device.address = 1;
    main->device.modification = modification;
    main->device.currentScale = scale;
    main->device.minRatedCurrent = 5.0f;
    main->device.maxRatedCurrent = 50.0f;
    main->connected = true;
    currentDeviceVersion = modification;
    sendType(DataEvent::Connected);
}

void TestTabSetup::sendConfig(const ConfigPacket &block, int result)
{
    const ConfigEvent event(block, result);
    main->send(*tab, event);
}

void TestTabSetup::sendType(int type)
{
    const DataEvent event {DataEvent::Type(type)};
    main->send(*tab, event);
}

QString TestTabSetup::writeFile(const QByteArray &bytes)
{
    const QString path = dir->filePath("settings.json");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

// The rules themselves are tested in tests/device; these rows take each of the eight
// editors into the check, and both marks on and off.
void TestTabSetup::consistencyRules_data()
{
    // Settings: in1 in2 power aux remote cyclic humidity fast; marked: the widgets
    // that must carry the red mark.
    QTest::addColumn<QVector<int>>("settings");
    QTest::addColumn<QVector<int>>("marked");
    using V = QVector<int>;
    QTest::newRow("all off") << V {0, 0, 0, 0, 0, 0, 0, 0} << V {};
    QTest::newRow("1: two-wire start on both") << V {2, 2, 0, 0, 0, 0, 0, 0} << V {F::Input1Function, F::Input2Function};
    QTest::newRow("1: two-wire start with remote") << V {2, 0, 0, 0, 1, 0, 0, 0} << V {F::Input1Function, F::RemoteControl};
    QTest::newRow("2: input 1 forward") << V {4, 2, 0, 0, 0, 0, 0, 0} << V {F::Input1Function, F::Input2Function};
    QTest::newRow("5: protection without input") << V {0, 0, 0, 0, 0, 0, 1, 0} << V {F::Input2Function, F::HumidityProtection};
    QTest::newRow("5 satisfied") << V {0, 5, 0, 0, 0, 0, 1, 0} << V {};
    QTest::newRow("6: remote and cyclic") << V {0, 0, 0, 0, 1, 1, 0, 0} << V {F::RemoteControl, F::CyclicMode};
    QTest::newRow("7: star, aux none") << V {0, 0, 1, 0, 0, 0, 0, 0} << V {F::PowerOutputFunction, F::AuxOutputFunction};
    QTest::newRow("7 satisfied") << V {0, 0, 1, 5, 0, 0, 0, 0} << V {};
    QTest::newRow("9: fast without trip coil") << V {0, 0, 0, 0, 0, 0, 0, 1} << V {F::FastProtection, F::AuxOutputFunction};
    QTest::newRow("9 satisfied") << V {0, 0, 0, 7, 0, 0, 0, 1} << V {};
}

void TestTabSetup::consistencyRules()
{
    QFETCH(QVector<int>, settings);
    QFETCH(QVector<int>, marked);
    connectDevice(70);
    // From a marking state, so that every mark the row does not expect must be cleared.
    auto block = validBlock(70);
    F::setValue(*block, F::Input1Function, F::Input1TwoWireStart);
    F::setValue(*block, F::RemoteControl, 1);
    F::setValue(*block, F::PowerOutputFunction, F::PowerStar);
    sendConfig(*block);
    QVERIFY(!button("writeConfigButton")->isEnabled());

    combo(F::Input1Function)->setCurrentIndex(settings[0]);
    combo(F::Input2Function)->setCurrentIndex(settings[1]);
    combo(F::PowerOutputFunction)->setCurrentIndex(settings[2]);
    combo(F::AuxOutputFunction)->setCurrentIndex(settings[3]);
    check(F::RemoteControl)->setChecked(settings[4]);
    check(F::CyclicMode)->setChecked(settings[5]);
    check(F::HumidityProtection)->setChecked(settings[6]);
    check(F::FastProtection)->setChecked(settings[7]);

    for (F::Id id : {F::Input1Function, F::Input2Function, F::PowerOutputFunction, F::AuxOutputFunction})
        QCOMPARE(tab->editor(id)->styleSheet(), marked.contains(id) ? kComboMark : QString());
    for (F::Id id : {F::RemoteControl, F::CyclicMode, F::HumidityProtection, F::FastProtection})
        QCOMPARE(tab->editor(id)->styleSheet(), marked.contains(id) ? kCheckMark : QString());
    QCOMPARE(button("writeConfigButton")->isEnabled(), marked.isEmpty());
    for (const char *other : {"readConfigButton", "writeTimeButton", "resetWorkTimeButton"})
        QVERIFY(button(other)->isEnabled());
}

void TestTabSetup::ruleToolTips_data()
{
    // Settings as in consistencyRules; the field whose tooltip is checked (a list and a flag).
    QTest::addColumn<QVector<int>>("settings");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("sentence");
    using V = QVector<int>;
    QTest::newRow("1") << V {2, 2, 0, 0, 0, 0, 0, 0} << int(F::Input1Function)
                       << "Вход 1 «Пуск(Двухпроводное управление)» не допускает такой же пуск на входе 2 и "
                          "дистанционное управление.";
    QTest::newRow("6") << V {0, 0, 0, 0, 1, 1, 0, 0} << int(F::CyclicMode)
                       << "Дистанционное управление и циклическая работа по таймеру не разрешаются вместе.";
}

void TestTabSetup::ruleToolTips()
{
    QFETCH(QVector<int>, settings);
    QFETCH(int, field);
    QFETCH(QString, sentence);
    connectDevice(70);
    sendConfig(*validBlock(70));
    QCOMPARE(tab->editor(F::Id(field))->toolTip(), QString());
    combo(F::Input1Function)->setCurrentIndex(settings[0]);
    combo(F::Input2Function)->setCurrentIndex(settings[1]);
    combo(F::PowerOutputFunction)->setCurrentIndex(settings[2]);
    combo(F::AuxOutputFunction)->setCurrentIndex(settings[3]);
    check(F::RemoteControl)->setChecked(settings[4]);
    check(F::CyclicMode)->setChecked(settings[5]);
    check(F::HumidityProtection)->setChecked(settings[6]);
    check(F::FastProtection)->setChecked(settings[7]);
    QVERIFY(!button("writeConfigButton")->isEnabled());
    QVERIFY2(tab->editor(F::Id(field))->toolTip().split('\n').contains(sentence),
             qPrintable(tab->editor(F::Id(field))->toolTip()));
    QVERIFY(tab->label(F::Id(field))->toolTip().split('\n').contains(sentence));
    QVERIFY2(button("writeConfigButton")->toolTip().split('\n').contains(sentence),
             qPrintable(button("writeConfigButton")->toolTip()));
}

void TestTabSetup::modificationEditors_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<bool>("tripTime");
    QTest::addColumn<bool>("larger");
    QTest::newRow("40") << 40 << false << false;
    QTest::newRow("49") << 49 << false << false;
    QTest::newRow("50") << 50 << true << false;
    QTest::newRow("69") << 69 << true << false;
    QTest::newRow("70") << 70 << true << true;
    QTest::newRow("80") << 80 << true << true;
}

void TestTabSetup::modificationEditors()
{
    QFETCH(int, modification);
    QFETCH(bool, tripTime);
    QFETCH(bool, larger);
    connectDevice(modification);
    QCOMPARE(spin(F::ImbalanceTripTime)->value(), 255);
    QCOMPARE(spin(F::ImbalanceTripTime)->text(), QString("2550 мсек"));
    auto block = validBlock(modification);
    sendConfig(*block);
    QCOMPARE(tab->editor(F::ImbalanceTripTime)->isEnabled(), tripTime);
    QCOMPARE(spin(F::ImbalanceTripTime)->value(), tripTime ? 30 : 255);
    QCOMPARE(tab->editor(F::MinCurrentCorrection)->isEnabled(), larger);
    QCOMPARE(tab->editor(F::InsulationThreshold)->isEnabled(), larger);
    // First connection after start-up: the larger fields keep their initial values.
    QCOMPARE(dspin(F::MinCurrentCorrection)->value(), 0.0);
    QCOMPARE(combo(F::InsulationThreshold)->currentText(), larger ? QString("0,55МОм") : QString("1,1МОм"));
}

void TestTabSetup::earlierConnectionKeepsLargerEditors()
{
    connectDevice(70);
    auto v70 = validBlock(70);
    F::setValue(*v70, F::MinCurrentCorrection, -5);
    F::setValue(*v70, F::InsulationThreshold, 0);
    sendConfig(*v70);
    connectDevice(40);
    sendConfig(*validBlock(40));
    QVERIFY(!tab->editor(F::MinCurrentCorrection)->isEnabled());
    QCOMPARE(dspin(F::MinCurrentCorrection)->value(), -0.5);
    QCOMPARE(combo(F::InsulationThreshold)->currentIndex(), 0);
    QCOMPARE(spin(F::ImbalanceTripTime)->value(), 255); // set again by the connection
    auto written = tab->buildConfiguration();
    QCOMPARE(written->version(), 0); // nothing of the larger blocks is sent
}

void TestTabSetup::conversionsThroughEditors_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("writtenBack");
    QTest::newRow("rated 12.3 A at scale 10") << 10 << int(F::RatedCurrent) << 123 << "12,3А" << 123;
    QTest::newRow("rated at scale 1, no decimals") << 1 << int(F::RatedCurrent) << 17 << "17А" << 17;
    QTest::newRow("rated below the limits clamped") << 2 << int(F::RatedCurrent) << 4 << "5,0А" << 10;
    QTest::newRow("rated above the limits clamped") << 2 << int(F::RatedCurrent) << 500 << "50,0А" << 100;
    QTest::newRow("reaction 505 ms shows 50") << 2 << int(F::OverloadReactionTime) << 505 << "500 мсек" << 500;
    QTest::newRow("trip time 2550 ms") << 2 << int(F::ImbalanceTripTime) << 2550 << "2550 мсек" << 2550;
    QTest::newRow("correction -0.5") << 2 << int(F::MinCurrentCorrection) << 0xFFFB << "-0,5" << -5;
    QTest::newRow("correction 0.7") << 2 << int(F::MinCurrentCorrection) << 7 << "0,7" << 7;
    QTest::newRow("correction beyond 2.0 clamped") << 2 << int(F::MinCurrentCorrection) << 25 << "2,0" << 20;
    QTest::newRow("flag 5 ticks, written as 1") << 2 << int(F::AutoRestart) << 5 << "" << 1;
    QTest::newRow("choice index") << 2 << int(F::VoltageTolerance) << 3 << "Минус 30 + 25%" << 3;
    QTest::newRow("choice out of list shown and kept") << 2 << int(F::AuxOutputFunction) << 9 << "9" << 9;
    QTest::newRow("minutes") << 2 << int(F::CyclicWorkTime) << 5940 << "5940 мин" << 5940;
    QTest::newRow("pt100 threshold below range") << 2 << int(F::Pt100Threshold) << 3 << "10 °C" << 10;
}

void TestTabSetup::conversionsThroughEditors()
{
    QFETCH(int, scale);
    QFETCH(int, field);
    QFETCH(int, word);
    QFETCH(QString, shown);
    QFETCH(int, writtenBack);
    tab->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    connectDevice(70, scale);
    auto block = validBlock(70);
    F::setValue(*block, F::Id(field), word);
    sendConfig(*block);
    QWidget *edit = tab->editor(F::Id(field));
    if (auto *box = qobject_cast<QAbstractSpinBox *>(edit))
        QCOMPARE(box->text(), shown);
    else if (auto *c = qobject_cast<QComboBox *>(edit))
        QCOMPARE(c->currentText(), shown);
    else
        QVERIFY(qobject_cast<QCheckBox *>(edit)->isChecked());
    QCOMPARE(F::value(*tab->buildConfiguration(), F::Id(field)), writtenBack);
}

void TestTabSetup::buildsTheConnectedModificationsClass_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("version");
    QTest::newRow("40") << 40 << 0;
    QTest::newRow("50") << 50 << 50;
    QTest::newRow("70") << 70 << 70;
}

void TestTabSetup::buildsTheConnectedModificationsClass()
{
    QFETCH(int, modification);
    QFETCH(int, version);
    connectDevice(modification);
    auto block = validBlock(modification);
    sendConfig(*block);
    main->accessCode = true; // the write is guarded as the other commands
    button("writeConfigButton")->click();
    QCOMPARE(main->requests, QStringList {"write"});
    QVERIFY(main->written);
    QCOMPARE(main->written->version(), version);
    QVERIFY(F::differences(*main->written, *block).isEmpty()); // what was read goes back unchanged
    for (const char *name : {"readConfigButton", "writeConfigButton", "writeTimeButton", "resetCrashProtocolButton",
                             "resetWorkProtocolButton", "resetWorkTimeButton"})
        QVERIFY2(!button(name)->isEnabled(), name);
    QVERIFY(button("idlePlotButton")->isEnabled());
}

void TestTabSetup::guardedCommands_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<bool>("code");
    QTest::addColumn<QString>("request");
    QTest::newRow("hours, no code") << "resetWorkTimeButton" << false << "";
    QTest::newRow("hours") << "resetWorkTimeButton" << true << "hours";
    QTest::newRow("crash log, no code") << "resetCrashProtocolButton" << false << "";
    QTest::newRow("crash log") << "resetCrashProtocolButton" << true << "crash";
    QTest::newRow("work log, no code") << "resetWorkProtocolButton" << false << "";
    QTest::newRow("work log") << "resetWorkProtocolButton" << true << "work";
    QTest::newRow("write, no code") << "writeConfigButton" << false << "";
    QTest::newRow("write") << "writeConfigButton" << true << "write";
    QTest::newRow("clock, no code") << "writeTimeButton" << false << "";
    QTest::newRow("clock") << "writeTimeButton" << true << "time 1000";
}

void TestTabSetup::guardedCommands()
{
    QFETCH(QString, buttonName);
    QFETCH(bool, code);
    QFETCH(QString, request);
    connectDevice(70);
    sendConfig(*validBlock(70));
    main->accessCode = code;
    auto watch = PacketFactory::monitoring(70);
    PacketRegisters::write(*watch, 48, 1000); // the device clock, low word
    const DataEventGet monitoring(*watch);
    main->send(*tab, monitoring);
    QString boxText;
    ModalAnswerer answer([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            boxText = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->standardButtons());
            box->button(QMessageBox::Ok)->click();
        } else {
            w->findChild<QPushButton *>("timeOkButton")->click();
        }
    });
    tab->findChild<QPushButton *>(buttonName)->click();
    if (code) {
        QCOMPARE(boxText, QString());
    } else {
        QCOMPARE(boxText, QString("Настройка|Для этой операции необходимо ввести пароль.|%1").arg(int(QMessageBox::Ok)));
        QCOMPARE(main->focusRequests, 1);
    }
    QCOMPARE(main->requests.join(","), request);
    QCOMPARE(button("readConfigButton")->isEnabled(), !code);
}

void TestTabSetup::resultsReenableWithTheCheck_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("violated");
    for (int type = DataEvent::ClockSet; type <= DataEvent::WorkTimeNotReset; ++type) {
        QTest::addRow("type %d, refused settings", type) << type << true;
        QTest::addRow("type %d, consistent settings", type) << type << false;
    }
}

void TestTabSetup::resultsReenableWithTheCheck()
{
    QFETCH(int, type);
    QFETCH(bool, violated);
    connectDevice(70);
    sendConfig(*validBlock(70));
    main->accessCode = true;
    if (violated)
        check(F::FastProtection)->setChecked(true); // rule 9
    button("resetWorkTimeButton")->click();
    QVERIFY(!button("writeConfigButton")->isEnabled());
    combo(F::PowerOutputFunction)->setCurrentIndex(0); // a change while the request is out
    QVERIFY(!button("writeConfigButton")->isEnabled());
    sendType(type);
    QVERIFY(button("readConfigButton")->isEnabled());
    QCOMPARE(button("writeConfigButton")->isEnabled(), !violated);
}

void TestTabSetup::writeNotHandedOverKeepsButtons()
{
    connectDevice(70);
    sendConfig(*validBlock(70));
    main->accessCode = true;
    main->acceptWrites = false; // e.g. no backup could be saved
    button("writeConfigButton")->click();
    QVERIFY(button("writeConfigButton")->isEnabled());
    QVERIFY(button("readConfigButton")->isEnabled());
}

void TestTabSetup::autoSetupDoneReadsAgain()
{
    connectDevice(70);
    sendConfig(*validBlock(70));
    for (int state : {1, 3, 2}) {
        const ChangeAutoConfigState event(0, state);
        tab->onDataEvent(&event);
    }
    QCOMPARE(main->requests, QStringList {"read"});
    QVERIFY(!button("readConfigButton")->isEnabled());
}

void TestTabSetup::settingsFileShowsDifferences()
{
    connectDevice(70);
    auto device = validBlock(70);
    sendConfig(*device);
    auto other = validBlock(70);
    F::setValue(*other, F::MinCurrent, 40);
    F::setValue(*other, F::MinCurrentCorrection, -3);
    F::setValue(*other, F::AuxOutputFunction, 1);
    QVERIFY(writeFile(SettingsFile::fromBlock(*other, main->device).toJson()).size() > 0);
    QVERIFY(tab->loadSettingsFile(dir->filePath("settings.json"), true));

    QVERIFY(main->requests.isEmpty()); // the device is not touched
    QCOMPARE(spin(F::MinCurrent)->value(), 40);
    QCOMPARE(dspin(F::MinCurrentCorrection)->value(), -0.3);
    for (int i = 0; i < F::Count; ++i) {
        const auto id = F::Id(i);
        const bool differs = id == F::MinCurrent || id == F::MinCurrentCorrection || id == F::AuxOutputFunction;
        QCOMPARE(tab->differsFromDevice(id), differs);
        QCOMPARE(tab->label(id)->styleSheet().isEmpty(), !differs);
        QCOMPARE(tab->editor(id)->toolTip().isEmpty(), !differs);
    }
    QCOMPARE(tab->editor(F::MinCurrent)->toolTip(), QString("На устройстве: 5%"));
    QCOMPARE(tab->editor(F::AuxOutputFunction)->toolTip(), QString("На устройстве: Нет"));
    QVERIFY(tab->label(F::MinCurrent)->styleSheet() != kCheckMark);
    // Putting a value back clears its mark; a read from the device clears them all.
    spin(F::MinCurrent)->setValue(5);
    QVERIFY(!tab->differsFromDevice(F::MinCurrent));
    sendConfig(*device);
    QVERIFY(!tab->differsFromDevice(F::AuxOutputFunction));
    QVERIFY(tab->label(F::AuxOutputFunction)->styleSheet().isEmpty());
}

void TestTabSetup::settingsFileOfAnotherClass()
{
    connectDevice(50);
    sendConfig(*validBlock(50));
    auto v70 = validBlock(70);
    F::setValue(*v70, F::ImbalanceTripTime, 700);
    QVERIFY(tab->loadSettingsFile(writeFile(SettingsFile::fromBlock(*v70, main->device).toJson()), true));
    QCOMPARE(spin(F::ImbalanceTripTime)->value(), 70);
    QVERIFY(main->lastStatus().contains("minCurrentCorrection, insulationThreshold"));

    connectDevice(70);
    sendConfig(*validBlock(70));
    auto v40 = validBlock(40);
    F::setValue(*v40, F::SwitchDelay, 30);
    QVERIFY(tab->loadSettingsFile(writeFile(SettingsFile::fromBlock(*v40, main->device).toJson()), true));
    QCOMPARE(spin(F::SwitchDelay)->value(), 30);
    QVERIFY(main->lastStatus().contains("Нет в файле, оставлены как были: imbalanceTripTime, minCurrentCorrection, "
                                        "insulationThreshold"));
}

void TestTabSetup::settingsFileRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray head = R"({"format": "orbix-settings", "version": 1, "modification": 70, "fields": )";
    QTest::newRow("not JSON") << QByteArray("{\"format\": ") << "файл повреждён";
    QTest::newRow("cut short") << head << "файл повреждён";
    QTest::newRow("another format") << QByteArray(R"({"format": "x", "version": 1})") << "это не файл настроек";
    QTest::newRow("another version") << QByteArray(R"({"format": "orbix-settings", "version": 2})") << "версия";
    QTest::newRow("no fields") << QByteArray(R"({"format": "orbix-settings", "version": 1, "modification": 70})")
                               << "\"fields\"";
    QTest::newRow("text value") << head + R"({"minCurrent": "5"})" + "}" << "minCurrent";
    QTest::newRow("unknown field") << head + R"({"minCurrnt": 5})" + "}" << "неизвестное поле minCurrnt";
    QTest::newRow("overload multiple 61") << head + R"({"minCurrent": 10, "switchDelay": 5, "overloadMultiple": 61})" + "}"
                                    << "overloadMultiple";
    QTest::newRow("rated current above the device") << head + R"({"ratedCurrent": 101})" + "}" << "ratedCurrent";
    QTest::newRow("reaction not in tens") << head + R"({"overloadReactionTime": 505})" + "}" << "overloadReactionTime";
    QTest::newRow("correction -21") << head + R"({"minCurrentCorrection": -21})" + "}" << "minCurrentCorrection";
}

void TestTabSetup::settingsFileRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    connectDevice(70);
    auto device = validBlock(70);
    sendConfig(*device);
    QVERIFY(!tab->loadSettingsFile(writeFile(bytes), true));
    QVERIFY2(main->lastStatus().contains(reason), qPrintable(main->lastStatus()));
    QVERIFY(F::differences(*tab->buildConfiguration(), *device).isEmpty()); // nothing changed
    QVERIFY(!tab->loadSettingsFile(dir->filePath("missing.json"), true));
}


void TestTabSetup::refusedWriteKeepsTheEdits_data()
{
    QTest::addColumn<bool>("readAfter"); // the poll's read of the device after the refusal
    QTest::newRow("refused") << false;
    QTest::newRow("refused, then read") << true;
}

// The device refused the write (a wrong access code, a failed item): what the user typed
// stays, marked against the device, and goes out again on the next click.
void TestTabSetup::refusedWriteKeepsTheEdits()
{
    QFETCH(bool, readAfter);
    connectDevice(70);
    const auto device = validBlock(70);
    sendConfig(*device);
    main->accessCode = true;
    spin(F::MinCurrent)->setValue(33);
    button("writeConfigButton")->click();
    sendConfig(*device, ConfigEvent::NotWritten);
    if (readAfter)
        sendConfig(*device, ConfigEvent::Read);
    QCOMPARE(spin(F::MinCurrent)->value(), 33);
    QVERIFY(tab->differsFromDevice(F::MinCurrent));
    QCOMPARE(tab->editor(F::MinCurrent)->toolTip(), QString("На устройстве: 5%"));
    QVERIFY(!tab->differsFromDevice(F::MinCurrentCorrection));

    main->requests.clear();
    button("writeConfigButton")->click();
    QCOMPARE(main->requests, QStringList {"write"});
    QCOMPARE(F::value(*main->written, F::MinCurrent), 33);
    sendConfig(*main->written, ConfigEvent::Written);
    QVERIFY(!tab->differsFromDevice(F::MinCurrent));
    QCOMPARE(tab->editor(F::MinCurrent)->toolTip(), QString());
}

void TestTabSetup::fitsALaptop_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Russian") << int(Translation::Russian);
    QTest::newRow("English") << int(Translation::English);
}

// Every row of the newest device and the buttons without scrolling, in the tab the main
// window leaves on a 1366 x 768 laptop with a taskbar, maximised.
void TestTabSetup::fitsALaptop()
{
    QFETCH(int, language);
    const QSize laptopTab(1354, 574);
    delete tab;
    QVERIFY(Translation::install(Translation::Language(language)));
    tab = new TabSetup(main);
    QVERIFY(Translation::install(Translation::Russian));
    connectDevice(80);
    tab->resize(laptopTab);
    tab->show();
    QVERIFY(QTest::qWaitForWindowExposed(tab));
    const auto *scroll = tab->findChild<QScrollArea *>(QStringLiteral("setupPanel"));
    QTRY_COMPARE(tab->size(), laptopTab);
    QVERIFY2(!scroll->verticalScrollBar()->isVisible(),
             qPrintable(QStringLiteral("%1 px of %2").arg(scroll->widget()->height()).arg(scroll->viewport()->height())));
    QVERIFY(!scroll->horizontalScrollBar()->isVisible());
}

QTEST_MAIN(TestTabSetup)
#include "tst_tabsetup.moc"
