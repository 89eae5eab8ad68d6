// Windows: a report saved again replaces the old file, and one open in another program
// (a viewer holds it without letting it be deleted) is named as the reason, the old file
// and the folder left as they were.
#include "report/reportbuilder.h"
#include "tests/report/reportsample.h"

#include <QtTest>

class TestReportReplace : public QObject
{
    Q_OBJECT

private slots:
    void replacesAnExistingReport();
    void reportOpenElsewhereIsNamed();

private:
    QStringList files(const QTemporaryDir &dir) const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    const ReportSample sample {60, 1, false};
    const ReportData data = sample.data(); // the builder holds it by reference
    const QDateTime time {QDate(2024, 3, 5), QTime(14, 7)};
};

void TestReportReplace::replacesAnExistingReport()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Отчёт.pdf");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    ReportBuilder builder(path, data, time);
    QVERIFY2(builder.build(), qPrintable(builder.failureText()));
    QCOMPARE(files(dir), QStringList {"Отчёт.pdf"});
    QVERIFY(QFileInfo(path).size() > 3);
}

void TestReportReplace::reportOpenElsewhereIsNamed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QFile viewer(path); // Qt shares a file it opens for reading and writing, not for deleting
    QVERIFY(viewer.open(QIODevice::WriteOnly) && viewer.write("old") == 3 && viewer.flush());
    ReportBuilder builder(path, data, time);
    QVERIFY(!builder.build());
    QCOMPARE(builder.failure(), ReportBuilder::Failure::TargetLocked);
    QVERIFY2(builder.failureText().contains(QDir::toNativeSeparators(path)), qPrintable(builder.failureText()));
    viewer.close();
    QCOMPARE(files(dir), QStringList {"report.pdf"}); // the new document's part is gone
    QCOMPARE(QFileInfo(path).size(), qint64(3));
    QVERIFY2(builder.build(), qPrintable(builder.failureText())); // closed, it is replaced
}

QTEST_MAIN(TestReportReplace)
#include "tst_reportreplace.moc"
