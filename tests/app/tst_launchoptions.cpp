// The program's command line: its options among the toolkit's, and --help and
// --version answered without a display (the manual page is made from them at build
// time, on machines without one).
#include "app/launchoptions.h"
#include "tests/programrun.h"

#include <QtTest>

namespace {

// orbix-service where no window can open: no display, and the X11 platform asked for.
ProgramRun runWithoutDisplay(const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORBIX_SERVICE), args);
    return waitForProgram(p, 20000);
}

} // namespace

class TestLaunchOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpAndVersionWithoutDisplay();
    void unknownLanguageRefused_data();
    void unknownLanguageRefused();
};

void TestLaunchOptions::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("demo");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("version");
    QTest::addColumn<QString>("dataDir"); // relative to the current directory
    QTest::addColumn<QString>("language");
    QTest::newRow("nothing") << QStringList {} << false << false << false << "" << "";
    QTest::newRow("demo and a data directory") << QStringList {"--demo", "--data-dir", "d"} << true << false << false
                                               << "d" << "";
    QTest::newRow("-h") << QStringList {"-h"} << false << true << false << "" << "";
    QTest::newRow("--help") << QStringList {"--help"} << false << true << false << "" << "";
    QTest::newRow("--version") << QStringList {"--version"} << false << false << true << "" << "";
    // Toolkit options are words after one dash; an h in them is no help.
    QTest::newRow("toolkit options") << QStringList {"-stylesheet", "s.qss", "-platform", "offscreen", "--demo"}
                                     << true << false << false << "" << "";
    // Taken as given: the program judges the value.
    QTest::newRow("--lang en") << QStringList {"--lang", "en", "--demo"} << true << false << false << "" << "en";
    QTest::newRow("--lang=xx") << QStringList {"--lang=xx"} << false << false << false << "" << "xx";
}

void TestLaunchOptions::parse()
{
    QFETCH(QStringList, args);
    QFETCH(bool, demo);
    QFETCH(bool, help);
    QFETCH(bool, version);
    QFETCH(QString, dataDir);
    QFETCH(QString, language);
    const LaunchOptions options = LaunchOptions::parse(QStringList {"orbix-service"} + args);
    QCOMPARE(options.demo, demo);
    QCOMPARE(options.help, help);
    QCOMPARE(options.version, version);
    QCOMPARE(options.dataDir, dataDir.isEmpty() ? QString() : QDir::current().absoluteFilePath(dataDir));
    QCOMPARE(options.language, language);
    QCOMPARE(options.languageGiven, !language.isEmpty());
}

void TestLaunchOptions::helpAndVersionWithoutDisplay()
{
    const ProgramRun plain = runWithoutDisplay({});
    QVERIFY(plain.finished);
    QVERIFY2(plain.crashed || plain.code != 0, "the window opened: this test has a display after all");

    const ProgramRun help = runWithoutDisplay({"--help"});
    QVERIFY(help.finished && !help.crashed);
    QCOMPARE(help.code, 0);
    QCOMPARE(help.out.section('\n', 0, 0), QString("Usage: orbix-service [options]"));
    for (const char *option : {"--demo", "--data-dir DIR", "--lang LANG", "--version"})
        QVERIFY2(help.out.contains(option), option);
    QVERIFY(!help.out.contains("--probe-socket")); // for the window tests only

    const ProgramRun version = runWithoutDisplay({"--version"});
    QVERIFY(version.finished && !version.crashed);
    QCOMPARE(version.code, 0);
    const QRegularExpression line("^orbix-service " + QRegularExpression::escape(ORBIX_EXPECTED_VERSION)
                                  + "( \\([0-9A-Za-z.+~-]+\\))?\\n$");
    QVERIFY2(line.match(version.out).hasMatch(), qPrintable(version.out));
}

// Refused before any window or file is touched, as a wrong option should be.
void TestLaunchOptions::unknownLanguageRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("xx") << QStringList {"--lang", "xx"};
    QTest::newRow("en_US") << QStringList {"--lang=en_US"};
    QTest::newRow("empty") << QStringList {"--lang="};
}

void TestLaunchOptions::unknownLanguageRefused()
{
    QFETCH(QStringList, args);
    const ProgramRun run = runWithoutDisplay(args);
    QVERIFY(run.finished && !run.crashed);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains("--lang takes ru or en"), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestLaunchOptions)
#include "tst_launchoptions.moc"
