// What the search tab says beside its bar: probes done of the total and the time left
// from the pace, and where the save dialogs start.
#include "exchange/protocoltiming.h"
#include "storage/appsettings.h"
#include "ui/savefolder.h"
#include "ui/search/searchprogress.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestSearchProgress : public QObject
{
    Q_OBJECT

private slots:
    void textByPace_data();
    void textByPace();
    void fullSearchAtTheDefaultSpeed();
    void saveFolder_data();
    void saveFolder();
};

void TestSearchProgress::textByPace_data()
{
    QTest::addColumn<int>("startDone");
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("elapsedMs");
    QTest::addColumn<QString>("text");
    // probe time 400 ms, 741 probes: left × (400 × 5 + elapsed) / (5 + done here), rounded up to 5 s
    QTest::newRow("before the first probe") << 0 << 0 << 0 << "Опрошено 0 из 741, осталось около 5 мин";
    QTest::newRow("empty line pace") << 0 << 100 << 40000 << "Опрошено 100 из 741, осталось около 4 мин 20 с";
    QTest::newRow("quick answers, prior weighs") << 0 << 5 << 50 << "Опрошено 5 из 741, осталось около 2 мин 35 с";
    QTest::newRow("slow network line") << 0 << 200 << 200000 << "Опрошено 200 из 741, осталось около 8 мин 55 с";
    QTest::newRow("continued scan counts its own probes") << 600 << 700 << 40000 << "Опрошено 700 из 741, осталось около 17 с";
    QTest::newRow("last probe") << 0 << 741 << 300000 << "Опрошено 741 из 741, осталось около 0 с";
}

void TestSearchProgress::textByPace()
{
    QFETCH(int, startDone);
    QFETCH(int, done);
    QFETCH(int, elapsedMs);
    QFETCH(QString, text);
    SearchProgress pace;
    pace.start(startDone, 741, 400, 1000);
    QCOMPARE(pace.runningText(done, 1000 + elapsedMs), text);
}

// The user sees it before pressing "Поиск": about five minutes.
void TestSearchProgress::fullSearchAtTheDefaultSpeed()
{
    const int probeMs = SearchProgress::probeCostMs(ProtocolTiming(), 19200);
    QCOMPARE(probeMs, 405); // 8 bytes on the line and the 400 ms time-out
    QCOMPARE(SearchProgress::plannedText(741, probeMs), QString("Полный поиск: опросов — 741, около 5 мин 5 с"));
    QCOMPARE(SearchProgress::probeCostMs(ProtocolTiming(), 600), 147 + 800);
}

void TestSearchProgress::saveFolder_data()
{
    QTest::addColumn<QString>("last");      // "work": the working directory, "gone": a folder removed
    QTest::addColumn<bool>("documents");   // the home folder has Documents
    QTest::addColumn<QString>("expected"); // "last", "documents", "home"
    QTest::newRow("none yet") << "" << true << "documents";
    QTest::newRow("none, no documents folder") << "" << false << "home";
    QTest::newRow("the working directory") << "work" << true << "documents";
    QTest::newRow("removed since") << "gone" << true << "documents";
    QTest::newRow("chosen") << "last" << true << "last";
}

void TestSearchProgress::saveFolder()
{
    QFETCH(QString, last);
    QFETCH(bool, documents);
    QFETCH(QString, expected);
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    if (documents)
        QVERIFY(QDir(home.path()).mkdir("Documents"));
    QVERIFY(QDir(home.path()).mkdir("reports"));
    const QHash<QString, QString> lastDirs {{"work", QDir::currentPath()}, {"gone", home.filePath("gone")},
                                            {"last", home.filePath("reports")}};
    AppSettings::instance().lastReportDir = lastDirs.value(last);
    const QHash<QString, QString> folders {{"documents", home.filePath("Documents")}, {"home", home.path()},
                                           {"last", home.filePath("reports")}};
    QCOMPARE(SaveFolder::current(), folders.value(expected));
    QCOMPARE(SaveFolder::proposal("Осциллограмма 5 Вода/влага 08.12.2026 19-11.cfg"),
             folders.value(expected) + "/Осциллограмма 5 Вода-влага 08.12.2026 19-11.cfg");
    SaveFolder::remember(home.filePath("reports/x.pdf"));
    QCOMPARE(SaveFolder::current(), home.filePath("reports"));
}

QTEST_MAIN(TestSearchProgress)
#include "tst_searchprogress.moc"
