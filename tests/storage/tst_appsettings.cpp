// The settings file: its exact bytes, short and missing files, and a data
// directory that does not exist yet.
#include "storage/appsettings.h"
#include "storage/datadirectory.h"

#include <QtTest>

Q_DECLARE_METATYPE(AppSettings::Language)

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
    void languageRoundTrip_data();
    void languageRoundTrip();
    void unreadableLanguageIsTheSystems_data();
    void unreadableLanguageIsTheSystems();
    void languageLeavesTheFixedFileAlone();
    void historyPeriods_data();
    void historyPeriods();
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
    QCOMPARE(QDir(data).entryList(QDir::Files),
             (QStringList {"config.dat", "history.conf", "language.conf", "link.conf"})); // no temporary left
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
    s.replyFraming = AppSettings::Framing::Gap;
    s.extraPauseMs = 40;
    QVERIFY(s.saveLink(dir.filePath("link.conf")));
    AppSettings back;
    back.loadLink(dir.filePath("link.conf"));
    QCOMPARE(back.replyFraming, AppSettings::Framing::Gap);
    QCOMPARE(back.extraPauseMs, 40);
    back.loadLink(dir.filePath("absent.conf"));
    QCOMPARE(back.replyFraming, AppSettings::Framing::Length);
    QCOMPARE(back.extraPauseMs, 0);
    QFile damaged(dir.filePath("damaged.conf"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("framing=sometimes\nextra-pause=99999\n=\n\xff\xfe");
    damaged.close();
    back.loadLink(damaged.fileName());
    QCOMPARE(back.replyFraming, AppSettings::Framing::Length);
    QCOMPARE(back.extraPauseMs, AppSettings::kMaxExtraPauseMs);
}

void TestAppSettings::languageRoundTrip_data()
{
    QTest::addColumn<AppSettings::Language>("language");
    QTest::addColumn<QByteArray>("word");
    QTest::newRow("system") << AppSettings::Language::System << QByteArray("system");
    QTest::newRow("ru") << AppSettings::Language::Russian << QByteArray("ru");
    QTest::newRow("en") << AppSettings::Language::English << QByteArray("en");
}

void TestAppSettings::languageRoundTrip()
{
    QFETCH(AppSettings::Language, language);
    QFETCH(QByteArray, word);
    QTemporaryDir dir;
    const QString path = dir.filePath("language.conf");
    AppSettings s;
    s.language = language;
    QVERIFY(s.saveLanguage(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().split('\n').contains("language=" + word)); // a file a person can edit
    AppSettings back;
    back.language = language == AppSettings::Language::English ? AppSettings::Language::Russian : AppSettings::Language::English;
    back.loadLanguage(path);
    QCOMPARE(back.language, language);
}

// A missing, damaged or foreign file gives the system's language: the program never
// stays in a language nobody chose.
void TestAppSettings::unreadableLanguageIsTheSystems_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<AppSettings::Language>("language");
    QTest::newRow("unknown word") << QByteArray("language=de\n") << AppSettings::Language::System;
    QTest::newRow("number") << QByteArray("language=2\n") << AppSettings::Language::System;
    QTest::newRow("no key") << QByteArray("en\n") << AppSettings::Language::System;
    QTest::newRow("binary") << QByteArray("\xff\xfe\x00language") << AppSettings::Language::System;
    QTest::newRow("empty") << QByteArray() << AppSettings::Language::System;
    QTest::newRow("hand-edited: spaces, case, comment") << QByteArray("# mine\n  language = EN \r\n")
                                                        << AppSettings::Language::English;
}

void TestAppSettings::unreadableLanguageIsTheSystems()
{
    QFETCH(QByteArray, bytes);
    QFETCH(AppSettings::Language, language);
    QTemporaryDir dir;
    QFile f(dir.filePath("language.conf"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    AppSettings s;
    s.language = AppSettings::Language::Russian;
    s.loadLanguage(f.fileName());
    QCOMPARE(s.language, language);
    s.language = AppSettings::Language::Russian;
    s.loadLanguage(dir.filePath("absent.conf"));
    QCOMPARE(s.language, AppSettings::Language::System);
}

// config.dat's bytes are the same whatever the language: older programs read it still.
void TestAppSettings::languageLeavesTheFixedFileAlone()
{
    QTemporaryDir dir;
    qputenv(DataDirectory::kEnvironmentVariable, dir.path().toLocal8Bit());
    QByteArray bytes[3];
    for (AppSettings::Language language : {AppSettings::Language::System, AppSettings::Language::Russian, AppSettings::Language::English}) {
        AppSettings s;
        s.lastPortNumber = 9;
        s.language = language;
        QVERIFY(s.save());
        QFile f(dir.filePath("config.dat"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        bytes[int(language)] = f.readAll();
        AppSettings back;
        back.load();
        QCOMPARE(back.language, language);
    }
    qunsetenv(DataDirectory::kEnvironmentVariable);
    QCOMPARE(bytes[int(AppSettings::Language::Russian)], bytes[int(AppSettings::Language::System)]);
    QCOMPARE(bytes[int(AppSettings::Language::English)], bytes[int(AppSettings::Language::System)]);
}

void TestAppSettings::historyPeriods_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("fullDays");
    QTest::addColumn<int>("minuteDays");
    QTest::newRow("missing: defaults") << QByteArray() << 7 << 730;
    QTest::newRow("both") << QByteArray("full-days=3\nminute-days=90\n") << 3 << 90;
    QTest::newRow("minutes never shorter than full") << QByteArray("full-days=30\nminute-days=10\n") << 30 << 30;
    QTest::newRow("out of range") << QByteArray("full-days=0\nminute-days=999999\n") << 1 << AppSettings::kMaxHistoryDays;
    QTest::newRow("not a number") << QByteArray("full-days=week\n") << 7 << 730;
}

void TestAppSettings::historyPeriods()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, fullDays);
    QFETCH(int, minuteDays);
    QTemporaryDir dir;
    const QString path = dir.filePath("history.conf");
    if (!bytes.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    AppSettings s;
    s.historyFullDays = 99;
    s.loadHistory(path);
    QCOMPARE(s.historyFullDays, fullDays);
    QCOMPARE(s.historyMinuteDays, minuteDays);
    QVERIFY(s.saveHistory(dir.filePath("back.conf")));
    AppSettings back;
    back.loadHistory(dir.filePath("back.conf"));
    QCOMPARE(back.historyFullDays, fullDays);
    QCOMPARE(back.historyMinuteDays, minuteDays);
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
