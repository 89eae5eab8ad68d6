// The window with the characteristic and oscillogram tabs on a simulated line: the
// start record and the protection curve arrive after connecting, a trip injected in
// the device reaches the oscillogram tab, and the settings dialog's current axis
// reaches the characteristic plot.
#include "app/mainwindow.h"
#include "device/deviceinfo.h"
#include "plots/crashplot.h"
#include "plots/runconfigplot.h"
#include "sim/simulator.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "storage/portmap.h"
#include "tests/sim/simidentity.h"
#include "tests/testtiming.h"
#include "ui/characteristics/tabcharcurve.h"
#include "ui/characteristics/tabcrashcurve.h"

#include <qwt_plot_curve.h>

#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

namespace {

constexpr int kPortNumber = 61;
constexpr int kWaitMs = 15000;
const SimDeviceConfig kDevice {1, 70, 0, 19200, 2, 10};


} // namespace

class TestCharacteristicTabs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startRecordAndProtectionCurve();
    void injectedTripReachesTheOscillogramTab();
    void settingsDialogSetsTheCurrentAxis();

private:
    QTemporaryDir dir;
    Simulator sim;
};

void TestCharacteristicTabs::initTestCase()
{
    DataDirectory::setOverride(dir.path());
    qputenv("ORBIX_PORTS", "");
    sim.addDevice(kDevice);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    PortMap::bindForSession(kPortNumber, sim.linkPath());
}

void TestCharacteristicTabs::cleanupTestCase()
{
    sim.stop();
}

void TestCharacteristicTabs::startRecordAndProtectionCurve()
{
    MainWindow w;
    w.setTiming(testTiming());
    w.connectDevice(SimIdentity::of(kDevice, kPortNumber));
    RunConfigPlot *plot = w.tabCharCurve()->plot();
    // The record is read once the device's auto-setup state leaves the "running" the connection assumes.
    QVERIFY(QTest::qWaitFor([plot] { return plot->curve(RunConfigPlot::StartCurve)->dataSize() == 32; }, kWaitMs));
    QVERIFY(QTest::qWaitFor([plot] { return plot->curve(RunConfigPlot::ProtectionCurve)->dataSize() == 107; }, kWaitMs));
    QVERIFY(w.tabs()->isTabEnabled(MainWindow::CharCurveTab));
    const QString label = w.tabCharCurve()->findChild<QLabel *>("charRecordTimeLabel")->text();
    QVERIFY2(label.contains(QRegularExpression("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$")), qPrintable(label));
    // Rated current: register 5 over the current scale.
    const double rated = sim.registerValue(kDevice.address, 5) / 2.0;
    QCOMPARE(plot->curve(RunConfigPlot::RatedCurve)->sample(0).x(), rated);
    w.disconnectDevice();
}

void TestCharacteristicTabs::injectedTripReachesTheOscillogramTab()
{
    MainWindow w;
    w.setTiming(testTiming());
    w.connectDevice(SimIdentity::of(kDevice, kPortNumber));
    TabCrashCurve *tab = w.tabCrashCurve();
    // The simulated device keeps the oscillogram of its newest logged crash from the start.
    QVERIFY(QTest::qWaitFor([tab] { return tab->faultCode() != 0; }, kWaitMs));
    sim.injectTrip(kDevice.address, 72);
    QVERIFY(QTest::qWaitFor([tab] { return tab->faultCode() == 72; }, kWaitMs));
    QVERIFY(w.tabs()->isTabEnabled(MainWindow::CrashCurveTab));
    QCOMPARE(tab->findChild<QLabel *>("crashFaultLabel")->text(), QString("Попадание воды в картер насоса"));
    const quint32 trip = quint32(sim.registerValue(1, 301)) | quint32(sim.registerValue(1, 302)) << 16;
    QCOMPARE(tab->tripTime(), trip);
    const QwtPlotCurve *voltageA = tab->plot()->curve(3);
    QCOMPARE(voltageA->dataSize(), size_t(65));
    QCOMPARE(voltageA->sample(0).y(), 5.0); // the anchor: the device's lowest rated current
    const double scale = sim.registerValue(1, 305) / 256.0;
    QCOMPARE(voltageA->sample(1).y(), qint16(sim.registerValue(1, 306 + 3 * 64)) * scale);
    w.disconnectDevice();
}

void TestCharacteristicTabs::settingsDialogSetsTheCurrentAxis()
{
    AppSettings::instance().currentAxisScale = AppSettings::kLogarithmicAxis;
    MainWindow w;
    QVERIFY(w.tabCharCurve()->plot()->currentAxisLogarithmic());
    bool answered = false;
    QTimer::singleShot(0, [&answered] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (QRadioButton *button : dialog->findChildren<QRadioButton *>())
            if (button->text() == QStringLiteral("Линейный"))
                button->setChecked(answered = true);
        dialog->accept();
    });
    w.onBtnShowAppConfig();
    QVERIFY(answered);
    QCOMPARE(AppSettings::instance().currentAxisScale, AppSettings::kLinearAxis);
    QVERIFY(!w.tabCharCurve()->plot()->currentAxisLogarithmic());
}

QTEST_MAIN(TestCharacteristicTabs)
#include "tst_characteristictabs.moc"
