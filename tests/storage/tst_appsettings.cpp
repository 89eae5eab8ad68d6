// The settings file: its exact bytes, short and missing files, and a data
// directory that does not exist yet.
#include "appsettings.h"
#include "datadirectory.h"

#include <QtTest>

class TestAppSettings : public QObject
{
    Q_OBJECT

private slots:
    void fileBytesAreTheDocumentedStream();
    void roundTrip();
    void shortFileReadsZeros();
    void missingFileGivesDefaults();
    void damagedValuesAreBroughtIntoRange_data();
    void damagedValuesAreBroughtIntoRange();
    void saveCreatesTheDataDirectory();
    void linkSettingsBesideTheFixedFile();
};

void TestAppSettings::fileBytesAreTheDocumentedStream()
{
    QTemporaryDir dir;
    AppSettings s;
    s.lastReportDir = "C:";
    s.autoConnect = true;
    s.currentAxisScale = 0;
    s.plotInterval = 5400;
    s.lastSpeedIndex = 6;
    s.lastPortNumber = 41;
    const QString path = dir.filePath("config.dat");
    QVERIFY(s.save(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().toHex(' '),
             QByteArray("00 00 00 04 00 43 00 3a 01 00 00 00 00 00 00 15 18 00 00 00 06 00 00 00 29"));
}

void TestAppSettings::roundTrip()
{
    QTemporaryDir dir;
    AppSettings s;
    s.lastReportDir = "/home/инженер/отчёты";
    s.plotInterval = 89940;
    s.lastPortNumber = 3;
    QVERIFY(s.save(dir.filePath("config.dat")));
    AppSettings back;
    back.load(dir.filePath("config.dat"));
    QCOMPARE(back.lastReportDir, s.lastReportDir);
    QCOMPARE(back.plotInterval, 89940);
    QCOMPARE(back.currentAxisScale, 1);
    QCOMPARE(back.lastPortNumber, 3);
    QVERIFY(!back.autoConnect);
}

void TestAppSettings::shortFileReadsZeros()
{
    QTemporaryDir dir;
    QFile f(dir.filePath("config.dat"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromHex("00000002 0041 01"));
    f.close();
    AppSettings s;
    s.load(f.fileName());
    QCOMPARE(s.lastReportDir, QString("A"));
    QVERIFY(s.autoConnect);
    QCOMPARE(s.currentAxisScale, 0);
    QCOMPARE(s.plotInterval, 0);
    QCOMPARE(s.lastSpeedIndex, 0);
    QCOMPARE(s.lastPortNumber, 0);
}

void TestAppSettings::missingFileGivesDefaults()
{
    QTemporaryDir dir;
    AppSettings s;
    s.plotInterval = 7;
    s.load(dir.filePath("absent.dat"));
    QCOMPARE(s.lastReportDir, QDir::currentPath());
    QVERIFY(!s.autoConnect);
    QCOMPARE(s.currentAxisScale, 1);
    QCOMPARE(s.plotInterval, 60);
    QCOMPARE(s.lastSpeedIndex, 6);
    QCOMPARE(s.lastPortNumber, 1);
}

void TestAppSettings::damagedValuesAreBroughtIntoRange_data()
{
    QTest::addColumn<QVector<qint32>>("stored"); // axis, interval, speed index, port
    QTest::addColumn<QVector<qint32>>("loaded");
    QTest::newRow("in range") << QVector<qint32> {0, 89940, 8, 41} << QVector<qint32> {0, 89940, 8, 41};
    QTest::newRow("negative") << QVector<qint32> {-1, -60, -3, -7} << QVector<qint32> {0, 0, 0, 0};
    QTest::newRow("huge") << QVector<qint32> {2, 2147483647, 9, 2147483647}
                          << QVector<qint32> {0, 89940, 8, 2147483647};
    QTest::newRow("a day and a minute") << QVector<qint32> {1, 86460, 6, 1} << QVector<qint32> {1, 86460, 6, 1};
}

// A hand-edited file must not reach the plots or the selectors with values they
// cannot hold (a negative span emptied the sample buffer, a huge one never ended).
void TestAppSettings::damagedValuesAreBroughtIntoRange()
{
    QFETCH(QVector<qint32>, stored);
    QFETCH(QVector<qint32>, loaded);
    QTemporaryDir dir;
    QFile f(dir.filePath("config.dat"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QDataStream out(&f);
    out << QString() << false;
    for (qint32 v : stored)
        out << v;
    f.close();
    AppSettings s;
    s.load(f.fileName());
    QCOMPARE((QVector<qint32> {s.currentAxisScale, s.plotInterval, s.lastSpeedIndex, s.lastPortNumber}), loaded);
}

void TestAppSettings::saveCreatesTheDataDirectory()
{
    QTemporaryDir dir;
    const QString data = dir.filePath("fresh/install/data");
    qputenv(DataDirectory::kEnvironmentVariable, data.toLocal8Bit());
    AppSettings s;
    s.lastPortNumber = 9;
    QVERIFY(s.save());
    qunsetenv(DataDirectory::kEnvironmentVariable);
    QVERIFY(QFile::exists(data + "/config.dat"));
    QCOMPARE(QDir(data).entryList(QDir::Files), (QStringList {"config.dat", "link.conf"})); // no temporary left
    AppSettings back;
    back.load(data + "/config.dat");
    QCOMPARE(back.lastPortNumber, 9);
}

// The line settings live beside config.dat, whose bytes they never change; a file
// from before them, or a damaged one, gives replies ended by their length.
void TestAppSettings::linkSettingsBesideTheFixedFile()
{
    QTemporaryDir dir;
    AppSettings s;
    s.replyFraming = AppSettings::kFramingGap;
    s.extraPauseMs = 40;
    QVERIFY(s.saveLink(dir.filePath("link.conf")));
    AppSettings back;
    back.loadLink(dir.filePath("link.conf"));
    QCOMPARE(back.replyFraming, int(AppSettings::kFramingGap));
    QCOMPARE(back.extraPauseMs, 40);
    back.loadLink(dir.filePath("absent.conf"));
    QCOMPARE(back.replyFraming, int(AppSettings::kFramingLength));
    QCOMPARE(back.extraPauseMs, 0);
    QFile damaged(dir.filePath("damaged.conf"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("framing=sometimes\nextra-pause=99999\n=\n\xff\xfe");
    damaged.close();
    back.loadLink(damaged.fileName());
    QCOMPARE(back.replyFraming, int(AppSettings::kFramingLength));
    QCOMPARE(back.extraPauseMs, AppSettings::kMaxExtraPauseMs);
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
