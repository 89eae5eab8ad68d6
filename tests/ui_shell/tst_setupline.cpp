// The setup tab in the main window against the simulated device: what a write puts on
// the line, the backup before it, the edits kept after a refused write, the read-back.
#include "app/mainwindow.h"
#include "device/configfields.h"
#include "device/configpacket.h"
#include "exchange/configevent.h"
#include "exchange/datathread.h"
#include "exchange/eventdispatch.h"
#include "sim/simulator.h"
#include "storage/datadirectory.h"
#include "storage/portmap.h"
#include "storage/settingsfile.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"
#include "ui/mnemonics.h"
#include "ui/setup/tabsetup.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
using F = ConfigFields;
constexpr int kPort = 61;
constexpr int kWaitMs = 15000;
// Two devices of one modification: the settings of one are carried to the other.
const SimDeviceConfig kDevice {1, 70, 0, 19200, 2, 10};
const SimDeviceConfig kTwin {2, 70, 0, 19200, 2, 10};


QMessageBox *shownBox(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return qobject_cast<QMessageBox *>(w);
    return nullptr;
}
} // namespace

class TestSetupLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void writeGoesOutWithTheCodeBeforeEachItem();
    void codeTypedGoesWithAnAltLetter_data();
    void codeTypedGoesWithAnAltLetter();
    void refusedWriteKeepsTheEdits_data();
    void refusedWriteKeepsTheEdits();
    void readBackNamesClampedFields();
    void noWriteWithoutABackup();
    void settingsCarriedToATwin();

private:
    void connectTo(const SimDeviceConfig &device);
    bool statusIs(const QString &text) const { return window->statusBar()->currentMessage() == text; }
    QPushButton *writeButton() const { return tab()->findChild<QPushButton *>("writeConfigButton"); }
    TabSetup *tab() const { return window->tabSetup(); }
    QSpinBox *spin(F::Id id) const { return qobject_cast<QSpinBox *>(tab()->editor(id)); }
    QDoubleSpinBox *dspin(F::Id id) const { return qobject_cast<QDoubleSpinBox *>(tab()->editor(id)); }
    QStringList backups() const { return QDir(dir->filePath("backups")).entryList(QDir::Files); }

    Simulator sim;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> window;
};

void TestSetupLine::initTestCase()
{
    sim.addDevice(kDevice);
    sim.addDevice(kTwin);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    PortMap::bindForSession(kPort, sim.linkPath());
}

void TestSetupLine::cleanupTestCase()
{
    sim.stop();
}

void TestSetupLine::init()
{
    sim.clearFaults();
    dir = std::make_unique<QTemporaryDir>();
    DataDirectory::setOverride(dir->path());
    window = std::make_unique<MainWindow>();
    window->setTiming(testTiming());
}

void TestSetupLine::cleanup()
{
    window.reset(); // stops the connection whatever the outcome
    DataDirectory::setOverride(QString());
    dir.reset();
}

void TestSetupLine::connectTo(const SimDeviceConfig &device)
{
    window->connectDevice(SimIdentity::of(device, kPort));
    QVERIFY(QTest::qWaitFor([&] { return statusIs("Настройки получены"); }, kWaitMs));
    window->accessCodeField()->setText("1234");
    window->onPasswordEditingFinished();
}

void TestSetupLine::writeGoesOutWithTheCodeBeforeEachItem()
{
    connectTo(kDevice);
    const quint16 before = sim.registerValue(1, 6);
    spin(F::MinCurrent)->setValue(33);
    dspin(F::MinCurrentCorrection)->setValue(-0.5);
    sim.clearRequests();
    writeButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return statusIs("Настройки записаны"); }, kWaitMs));
    QCOMPARE(sim.registerValue(1, 6), quint16(33));
    QCOMPARE(sim.registerValue(1, 190), quint16(0xFFFB));

    QStringList writes; // every write on the line, in order: "function:register:count"
    for (const SimRequest &r : sim.requests())
        if (r.function != 3)
            writes << QString("%1:%2:%3").arg(r.function).arg(r.firstRegister).arg(r.count);
    QCOMPARE(writes, QStringList({"6:32:1", "16:5:25", "6:32:1", "16:30:1", "6:32:1", "16:190:2"}));
    // The read-back finds what was written: no warning, the status stays.
    QVERIFY(QTest::qWaitFor([&] { return writeButton()->isEnabled() && spin(F::MinCurrent)->value() == 33; }, kWaitMs));
    QVERIFY(!shownBox("readBackWarning"));
    QCOMPARE(backups().size(), 1);
    SettingsFile backup;
    QString error;
    QVERIFY2(SettingsFile::load(dir->filePath("backups/" + backups().first()), backup, error), qPrintable(error));
    QCOMPARE(backup.fields.value("minCurrent"), int(before));
    QVERIFY(backups().first().startsWith("COM61_a1_"));
}

// The code is typed and the command given by its Alt letter at once, the cursor still
// in the field (no Return, no click elsewhere): the device gets the code as typed.
void TestSetupLine::codeTypedGoesWithAnAltLetter_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("done");
    QTest::newRow("write settings") << "writeConfigButton" << "Настройки записаны";
    QTest::newRow("clear the crash log") << "resetCrashProtocolButton" << "Протокол аварий сброшен";
}

void TestSetupLine::codeTypedGoesWithAnAltLetter()
{
    QFETCH(QString, button);
    QFETCH(QString, done);
    window->connectDevice(SimIdentity::of(kDevice, kPort));
    QVERIFY(QTest::qWaitFor([&] { return statusIs("Настройки получены"); }, kWaitMs));
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->tabs()->setCurrentWidget(tab());
    spin(F::MinCurrent)->setValue(spin(F::MinCurrent)->value() == 40 ? 41 : 40); // something to write
    auto *command = tab()->findChild<QPushButton *>(button);
    QVERIFY(QTest::qWaitFor([&] { return command->isEnabled(); }, kWaitMs));
    window->accessCodeField()->setFocus();
    QTest::keyClicks(window->accessCodeField(), "1234");
    sim.clearRequests();
    const QChar letter = Mnemonics::mnemonicOf(command->text()).toUpper();
    QVERIFY(!letter.isNull());
    for (const QTest::KeyAction press : {QTest::Press, QTest::Release})
        QTest::sendKeyEvent(press, window->accessCodeField(), Qt::Key(letter.unicode()), QString(letter.toLower()),
                            Qt::AltModifier);
    QVERIFY(window->accessCodeField()->hasFocus());
    QVERIFY2(QTest::qWaitFor([&] { return statusIs(done); }, kWaitMs),
             qPrintable(window->statusBar()->currentMessage()));
    QVector<quint16> codes; // what the device was given before the command
    for (const SimRequest &r : sim.requests())
        if (r.function == 6 && r.firstRegister == 32)
            codes << r.values.value(0);
    QVERIFY(!codes.isEmpty());
    QCOMPARE(codes, QVector<quint16>(codes.size(), 1234));
}

void TestSetupLine::refusedWriteKeepsTheEdits_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("failLastItem");
    QTest::addColumn<bool>("firstItemWritten");
    QTest::newRow("the last item fails") << "1234" << true << true;
    QTest::newRow("a wrong access code") << "4321" << false << false;
}

void TestSetupLine::refusedWriteKeepsTheEdits()
{
    QFETCH(QString, code);
    QFETCH(bool, failLastItem);
    QFETCH(bool, firstItemWritten);
    const quint16 minCurrent = 25;
    const quint16 correction = 0xFFFB; // -0.5
    sim.setRegisterValue(1, 6, minCurrent);
    sim.setRegisterValue(1, 190, correction);
    connectTo(kDevice);
    window->accessCodeField()->setText(code);
    window->onPasswordEditingFinished();
    if (failLastItem)
        sim.setWriteFailure(1, 190);
    // Received in this thread, in order (a spy would record in the exchange's thread).
    QList<int> configResults;
    QObject receiver;
    connect(window->dataThread(), &DataThread::dataEvent, &receiver, [&configResults](const DataEventPtr &e) {
        EventDispatch::visit(*e, EventHandlers {
            [&configResults](const ConfigEvent &c) { configResults << c.result(); }, [](const DataEvent &) {}});
    });
    spin(F::MinCurrent)->setValue(44);
    dspin(F::MinCurrentCorrection)->setValue(0.7);
    writeButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return configResults == QList<int>({1, 0}); }, kWaitMs));
    QCoreApplication::processEvents();
    QCOMPARE(sim.registerValue(1, 6), firstItemWritten ? quint16(44) : minCurrent);
    QCOMPARE(sim.registerValue(1, 190), correction);
    // The device's refusal is named, and not hidden by the read that follows.
    QVERIFY2(statusIs("Ошибка записи настроек: устройство отказало в операции, возможно, неверный код доступа"),
             qPrintable(window->statusBar()->currentMessage()));
    // What was typed stays, marked, with the device's value in the tooltip.
    QCOMPARE(spin(F::MinCurrent)->value(), 44);
    QCOMPARE(dspin(F::MinCurrentCorrection)->value(), 0.7);
    QVERIFY(tab()->differsFromDevice(F::MinCurrentCorrection));
    QCOMPARE(tab()->editor(F::MinCurrentCorrection)->toolTip(),
             "На устройстве: " + QLocale().toString(-0.5, 'f', 1));

    // Once the cause is gone the same click writes, nothing typed again.
    sim.clearFaults();
    window->accessCodeField()->setText("1234");
    window->onPasswordEditingFinished();
    QVERIFY(QTest::qWaitFor([&] { return writeButton()->isEnabled(); }, kWaitMs));
    writeButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return statusIs("Настройки записаны"); }, kWaitMs));
    QCOMPARE(sim.registerValue(1, 6), quint16(44));
    QCOMPARE(sim.registerValue(1, 190), quint16(7));
    QVERIFY(QTest::qWaitFor([&] { return !tab()->differsFromDevice(F::MinCurrentCorrection); }, kWaitMs));
}

void TestSetupLine::readBackNamesClampedFields()
{
    connectTo(kDevice);
    sim.setWriteClamp(1, 6, 20);
    spin(F::MinCurrent)->setValue(50);
    writeButton()->click();
    QVERIFY(QTest::qWaitFor([&] { return shownBox("readBackWarning"); }, kWaitMs));
    const QString text = shownBox("readBackWarning")->text();
    QVERIFY2(text.contains("«Минимально допустимый ток двигателя» (minCurrent): записано 50, на устройстве 20"),
             qPrintable(text));
    QCOMPARE(text.count('\n'), 1); // one field only
    QCOMPARE(spin(F::MinCurrent)->value(), 20);
    shownBox("readBackWarning")->close();
}

void TestSetupLine::noWriteWithoutABackup()
{
    connectTo(kDevice);
    QFile blocker(dir->filePath("backups")); // a file where the folder must go
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    spin(F::MinCurrent)->setValue(12);
    sim.clearRequests();
    writeButton()->click();
    QVERIFY(shownBox("backupWarning"));
    QVERIFY(shownBox("backupWarning")->text().startsWith("Запись настроек не начата: резервная копия"));
    QVERIFY(window->statusBar()->currentMessage().startsWith("Запись настроек не начата"));
    QVERIFY(writeButton()->isEnabled());
    QVERIFY(sim.waitForRequests(3, kWaitMs)); // a few polling cycles pass
    for (const SimRequest &r : sim.requests())
        QVERIFY(r.function == 3);
    shownBox("backupWarning")->close();
}

void TestSetupLine::settingsCarriedToATwin()
{
    sim.setRegisterValue(1, 6, 31);
    sim.setRegisterValue(2, 6, 17);
    connectTo(kDevice);
    const QString path = dir->filePath("motor.json");
    QVERIFY(tab()->saveSettingsFile(path));
    connectTo(kTwin);
    QCOMPARE(spin(F::MinCurrent)->value(), 17);
    QVERIFY(tab()->loadSettingsFile(path, true));
    QCOMPARE(spin(F::MinCurrent)->value(), 31);
    QVERIFY(tab()->differsFromDevice(F::MinCurrent));
    QCOMPARE(tab()->editor(F::MinCurrent)->toolTip(), QString("На устройстве: 17%"));
    QCOMPARE(sim.registerValue(2, 6), quint16(17)); // loading never writes
}

QTEST_MAIN(TestSetupLine)
#include "tst_setupline.moc"
