// The idle-protection diagram's line and axes, and the clock dialog's conversions
// and limits.
#include "plots/idleprotectionplot.h"
#include "ui/setup/idleplotdialog.h"
#include "ui/setup/timedialog.h"

#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>

#include <QDateTimeEdit>
#include <QPushButton>
#include <QtTest>

#include <ctime>

class TestSetupDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void diagram_data();
    void diagram();
    void diagramDialog();
    void clockOpensAtTheDeviceTime_data();
    void clockOpensAtTheDeviceTime();
    void clockSecondsEdited();
    void clockSyncTakesThePcTime();
    void clockLimits_data();
    void clockLimits();
};

void TestSetupDialogs::initTestCase()
{
    // A zone with an offset: local time and device seconds must not be confused.
    qputenv("TZ", "Europe/Moscow");
    tzset();
}

void TestSetupDialogs::diagram_data()
{
    QTest::addColumn<double>("rated");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<double>("correction");
    QTest::addColumn<QPointF>("lower");
    QTest::addColumn<QPointF>("upper");
    QTest::newRow("worked example") << 10.0 << 0.3 << 0 << 1.0 << QPointF(187, 2.55) << QPointF(242, 3.3);
    QTest::newRow("index 1") << 10.0 << 0.3 << 1 << 1.0 << QPointF(176, 2.4) << QPointF(253, 3.45);
    QTest::newRow("index 2") << 10.0 << 0.3 << 2 << 1.0 << QPointF(165, 2.25) << QPointF(264, 3.6);
    QTest::newRow("index 3") << 10.0 << 0.3 << 3 << 1.0 << QPointF(154, 2.1) << QPointF(275, 3.75);
    QTest::newRow("no correction: level") << 20.0 << 0.25 << 0 << 0.0 << QPointF(187, 5.0) << QPointF(242, 5.0);
    QTest::newRow("negative correction falls") << 10.0 << 0.3 << 0 << -2.0 << QPointF(187, 3.9) << QPointF(242, 2.4);
}

void TestSetupDialogs::diagram()
{
    QFETCH(double, rated);
    QFETCH(double, fraction);
    QFETCH(int, tolerance);
    QFETCH(double, correction);
    QFETCH(QPointF, lower);
    QFETCH(QPointF, upper);
    IdleProtectionPlot plot(rated, fraction, tolerance, correction);
    const QwtPlotCurve *curve = plot.curve();
    QCOMPARE(int(curve->dataSize()), 2);
    QCOMPARE(curve->sample(0).x(), lower.x());
    QCOMPARE(curve->sample(1).x(), upper.x());
    QVERIFY(qAbs(curve->sample(0).y() - lower.y()) < 1e-9);
    QVERIFY(qAbs(curve->sample(1).y() - upper.y()) < 1e-9);
    const QwtScaleDiv volts = plot.axisScaleDiv(QwtPlot::xBottom);
    QCOMPARE(volts.lowerBound(), lower.x());
    QCOMPARE(volts.upperBound(), upper.x());
    const QwtScaleDiv amps = plot.axisScaleDiv(QwtPlot::yLeft);
    QVERIFY(qAbs(amps.lowerBound() - (qMin(lower.y(), upper.y()) - 0.1)) < 1e-9);
    QVERIFY(qAbs(amps.upperBound() - (qMax(lower.y(), upper.y()) + 0.1)) < 1e-9);
    QCOMPARE(curve->title().text(), QString("Минимально\nдопустимый\nток"));
    QCOMPARE(curve->pen().color(), QColor("#FF9933"));
}

void TestSetupDialogs::diagramDialog()
{
    IdlePlotDialog dialog(10.0, 0.3, 0, 1.0);
    QCOMPARE(dialog.windowTitle(), QString("Сдвиг порога защиты от холостого хода"));
    QCOMPARE(dialog.minimumSize(), QSize(340, 300));
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.plot()->axisTitle(QwtPlot::xBottom).text(), QString("Напряжение сети, В"));
    QCOMPARE(dialog.plot()->axisTitle(QwtPlot::yLeft).text(), QString("Минимально допустимый ток, А"));
    QVERIFY(dialog.findChildren<QPushButton *>().isEmpty());
}

void TestSetupDialogs::clockOpensAtTheDeviceTime_data()
{
    QTest::addColumn<quint32>("seconds");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0: 1970 in local time") << 0u << "01.01.1970 03:00:00";
    QTest::newRow("2024") << 1714557600u << "01.05.2024 13:00:00";
    QTest::newRow("the last second") << 0xFFFFFFFFu << "07.02.2106 09:28:15";
}

void TestSetupDialogs::clockOpensAtTheDeviceTime()
{
    QFETCH(quint32, seconds);
    QFETCH(QString, shown);
    TimeDialog dialog(seconds);
    QCOMPARE(dialog.windowTitle(), QString("Время"));
    QCOMPARE(dialog.size(), QSize(200, 105));
    QCOMPARE(dialog.editor()->text(), shown);
    QCOMPARE(dialog.time(), seconds);
}

void TestSetupDialogs::clockSecondsEdited()
{
    TimeDialog dialog(1714557600u);
    dialog.show();
    QDateTimeEdit *edit = dialog.editor();
    edit->setFocus();
    edit->setCurrentSection(QDateTimeEdit::SecondSection);
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(dialog.time(), 1714557607u);
}

void TestSetupDialogs::clockSyncTakesThePcTime()
{
    TimeDialog dialog(0);
    dialog.show();
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    dialog.findChild<QPushButton *>("syncTimeButton")->click();
    QVERIFY(dialog.isVisible()); // the engineer still confirms
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    QVERIFY(dialog.time() >= before && dialog.time() <= after);
}

void TestSetupDialogs::clockLimits_data()
{
    QTest::addColumn<QDateTime>("typed");
    QTest::addColumn<quint32>("seconds");
    QTest::newRow("before 1970") << QDateTime(QDate(1969, 12, 31), QTime(23, 0), Qt::UTC) << 0u;
    QTest::newRow("after 2106") << QDateTime(QDate(2106, 2, 7), QTime(6, 28, 16), Qt::UTC) << 0xFFFFFFFFu;
    QTest::newRow("year 2200") << QDateTime(QDate(2200, 1, 1), QTime(0, 0), Qt::UTC) << 0xFFFFFFFFu;
}

void TestSetupDialogs::clockLimits()
{
    QFETCH(QDateTime, typed);
    QFETCH(quint32, seconds);
    TimeDialog dialog(1000);
    dialog.editor()->setDateTime(typed.toLocalTime());
    QCOMPARE(dialog.time(), seconds);
}

QTEST_MAIN(TestSetupDialogs)
#include "tst_setupdialogs.moc"
