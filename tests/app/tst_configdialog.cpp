// The settings dialog's conversions and the program's command line.
#include "app/configdialog.h"
#include "app/launchoptions.h"
#include "storage/appsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QLayout>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

class TestConfigDialog : public QObject
{
    Q_OBJECT

private slots:
    void linkSettings();
    void languageChoice();
    void historyPeriods_data();
    void historyPeriods();
    void shownValues_data();
    void shownValues();
    void editedValues_data();
    void editedValues();
    void cancelKeepsNothing();
    void launchOptions_data();
    void launchOptions();

private:
    static QSpinBox *box(ConfigDialog &d, const QString &suffix);
};

QSpinBox *TestConfigDialog::box(ConfigDialog &d, const QString &suffix)
{
    for (QSpinBox *b : d.findChildren<QSpinBox *>())
        if (b->suffix() == suffix)
            return b;
    return nullptr;
}

void TestConfigDialog::shownValues_data()
{
    QTest::addColumn<int>("axis");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("linearChecked");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("rebuilt");
    QTest::newRow("default minute, log axis") << 1 << 60 << false << 0 << 1 << 60;
    QTest::newRow("hour and a half") << 0 << 5400 << true << 1 << 30 << 5400;
    QTest::newRow("seconds dropped") << 1 << 3719 << false << 1 << 1 << 3660;
    QTest::newRow("damaged axis value") << 7 << 0 << true << 0 << 0 << 0;
    QTest::newRow("longest") << 1 << 89940 << false << 24 << 59 << 89940;
}

void TestConfigDialog::shownValues()
{
    QFETCH(int, axis);
    QFETCH(int, interval);
    ConfigDialog d(true, axis, interval);
    QCOMPARE(d.windowTitle(), QStringLiteral("Параметры"));
    QVERIFY(d.width() >= 320 && d.height() >= 360);
    QCOMPARE(d.minimumSize(), d.maximumSize()); // fixed
    const QSize needed = d.layout()->minimumSize();
    QVERIFY2(needed.width() <= d.width() && needed.height() <= d.height(), // nothing squeezed off
             qPrintable(QStringLiteral("%1x%2").arg(needed.width()).arg(needed.height())));
    QVERIFY(!(d.windowFlags() & Qt::WindowContextHelpButtonHint));
    QVERIFY(d.autoConnect());
    QTEST(d.findChildren<QRadioButton *>().first()->isChecked(), "linearChecked");
    QTEST(box(d, QStringLiteral("ч."))->value(), "hours");
    QTEST(box(d, QStringLiteral("мин."))->value(), "minutes");
    QTEST(d.plotInterval(), "rebuilt");
}

void TestConfigDialog::editedValues_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<bool>("linear");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("axis");
    QTest::newRow("zero") << 0 << 0 << true << 0 << 0;
    QTest::newRow("beyond the ranges") << 30 << 75 << false << 24 * 3600 + 59 * 60 << 1;
}

void TestConfigDialog::editedValues()
{
    QFETCH(int, hours);
    QFETCH(int, minutes);
    QFETCH(bool, linear);
    ConfigDialog d(false, 1, 60);
    box(d, QStringLiteral("ч."))->setValue(hours); // the boxes clamp to their ranges
    box(d, QStringLiteral("мин."))->setValue(minutes);
    d.findChildren<QRadioButton *>().value(linear ? 0 : 1)->setChecked(true);
    d.findChild<QCheckBox *>()->setChecked(true);
    QTEST(d.plotInterval(), "interval");
    QTEST(d.axisScale(), "axis");
    QVERIFY(d.autoConnect());
}

void TestConfigDialog::cancelKeepsNothing()
{
    ConfigDialog d(false, 1, 60);
    for (QPushButton *b : d.findChildren<QPushButton *>())
        if (b->text() == QStringLiteral("Отмена"))
            b->click();
    QCOMPARE(d.result(), int(QDialog::Rejected));
}

void TestConfigDialog::launchOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("demo");
    QTest::addColumn<QString>("dataDir");
    QTest::addColumn<QString>("probeSocket");
    const QString here = QDir::currentPath();
    QTest::newRow("none") << QStringList {"orbix-service"} << false << QString() << QString();
    QTest::newRow("demo, relative dir") << QStringList {"orbix-service", "--demo", "--data-dir", "d"} << true
                                        << QDir(here).absoluteFilePath("d") << QString();
    QTest::newRow("absolute dir, toolkit option") << QStringList {"orbix-service", "--data-dir=/tmp/x", "-reverse"}
                                                  << false << "/tmp/x" << QString();
    QTest::newRow("probe socket, relative") << QStringList {"orbix-service", "--probe-socket", "w/probe", "--demo"}
                                            << true << QString() << QDir(here).absoluteFilePath("w/probe");
}

void TestConfigDialog::launchOptions()
{
    QFETCH(QStringList, arguments);
    const LaunchOptions options = LaunchOptions::parse(arguments);
    QTEST(options.demo, "demo");
    QTEST(options.dataDir, "dataDir");
    QTEST(options.probeSocket, "probeSocket");
}

// The line's group: how replies end, the pause and the network allowance, shown and read back.
void TestConfigDialog::historyPeriods_data()
{
    QTest::addColumn<int>("full");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("wantFull");
    QTest::addColumn<int>("wantMinute");
    QTest::newRow("as given") << 3 << 90 << 3 << 90;
    QTest::newRow("minutes shorter than full: as full") << 30 << 10 << 30 << 30;
    QTest::newRow("beyond the range") << 0 << 999999 << 1 << int(AppSettings::kMaxHistoryDays);
}

void TestConfigDialog::historyPeriods()
{
    QFETCH(int, full);
    QFETCH(int, minute);
    QFETCH(int, wantFull);
    QFETCH(int, wantMinute);
    ConfigDialog d(false, 1, 60);
    QCOMPARE(d.historyFullDays(), int(AppSettings::kDefaultHistoryFullDays));
    QCOMPARE(d.historyMinuteDays(), int(AppSettings::kDefaultHistoryMinuteDays));
    d.findChild<QSpinBox *>(QStringLiteral("historyFullDays"))->setValue(full);
    d.findChild<QSpinBox *>(QStringLiteral("historyMinuteDays"))->setValue(minute);
    QCOMPARE(d.historyFullDays(), wantFull);
    QCOMPARE(d.historyMinuteDays(), wantMinute);
    d.setHistoryPeriods(5, 50);
    QCOMPARE(d.historyFullDays(), 5);
    QCOMPARE(d.historyMinuteDays(), 50);
}

void TestConfigDialog::linkSettings()
{
    ConfigDialog d(false, 1, 60);
    QCOMPARE(d.framing(), AppSettings::Framing::Length); // the default before any setting
    QCOMPARE(d.networkAllowanceMs(), int(AppSettings::kDefaultNetworkAllowanceMs));
    d.setLinkSettings(AppSettings::Framing::Gap, 35, 700);
    QRadioButton *gap = nullptr;
    for (QRadioButton *b : d.findChildren<QRadioButton *>())
        if (b->text() == QStringLiteral("по паузе 250 мс"))
            gap = b;
    QVERIFY(gap && gap->isChecked());
    QCOMPARE(d.extraPauseMs(), 35);
    QCOMPARE(d.networkAllowanceMs(), 700);
    for (QRadioButton *b : d.findChildren<QRadioButton *>())
        if (b->text() == QStringLiteral("по длине кадра"))
            b->click();
    QCOMPARE(d.framing(), AppSettings::Framing::Length);
    d.findChild<QSpinBox *>(QStringLiteral("extraPause"))->setValue(5000); // beyond the range
    QCOMPARE(d.extraPauseMs(), AppSettings::kMaxExtraPauseMs);
    d.findChild<QSpinBox *>(QStringLiteral("networkAllowance"))->setValue(60000);
    QCOMPARE(d.networkAllowanceMs(), AppSettings::kMaxNetworkAllowanceMs);
}

// Each language under its own name, so that a user lost in the other finds their own;
// the dialog says the change waits for the next start.
void TestConfigDialog::languageChoice()
{
    ConfigDialog d(false, 1, 60);
    auto *box = d.findChild<QComboBox *>(QStringLiteral("languageBox"));
    QVERIFY(box);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(0), QStringLiteral("Как в системе"));
    QCOMPARE(box->itemText(1), QStringLiteral("Русский"));
    QCOMPARE(box->itemText(2), QStringLiteral("English"));
    QCOMPARE(d.language(), AppSettings::Language::System); // before any setting
    bool noted = false;
    for (QLabel *label : d.findChildren<QLabel *>())
        noted = noted || label->text() == QStringLiteral("Язык сменится при следующем запуске");
    QVERIFY(noted);
    for (AppSettings::Language language : {AppSettings::Language::English, AppSettings::Language::Russian, AppSettings::Language::System}) {
        d.setLanguage(language);
        QCOMPARE(d.language(), language);
    }
    d.setLanguage(AppSettings::Language::English);
    d.setLanguage(AppSettings::Language(42)); // a damaged value shows as the system's language
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(d.language(), AppSettings::Language::System);
    box->setCurrentIndex(1);
    QCOMPARE(d.language(), AppSettings::Language::Russian);
}

QTEST_MAIN(TestConfigDialog)
#include "tst_configdialog.moc"
