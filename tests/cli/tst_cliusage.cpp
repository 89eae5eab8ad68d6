// What orbix says about itself: the version, and each command's usage line naming the
// command as a user types it, in its help and after a usage error alike.
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run orbix(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(ORBIX_CLI), args);
    p.closeWriteChannel();
    Run r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestCliUsage : public QObject
{
    Q_OBJECT

private slots:
    void versionNamesTheBuild();
    void usageLineNamesTheCommand_data();
    void usageLineNamesTheCommand();
};

void TestCliUsage::versionNamesTheBuild()
{
    const Run r = orbix({"--version"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    // The project's version, then the commit as git describes it when built from one.
    const QRegularExpression line("^orbix " + QRegularExpression::escape(ORBIX_EXPECTED_VERSION)
                                  + "( \\([0-9A-Za-z.+~-]+\\))?\\n$");
    QVERIFY2(line.match(r.out).hasMatch(), qPrintable(r.out));
    QVERIFY(orbix({"--help"}).out.contains("--version"));
}

void TestCliUsage::usageLineNamesTheCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("usage");
    QTest::newRow("ports") << "ports" << "Usage: orbix ports [options]";
    QTest::newRow("read") << "read" << "Usage: orbix read [options] PORT REGISTER [COUNT]";
    QTest::newRow("write") << "write" << "Usage: orbix write [options] PORT REGISTER VALUE...";
    QTest::newRow("scan") << "scan" << "Usage: orbix scan [options] PORT";
    QTest::newRow("monitor") << "monitor" << "Usage: orbix monitor [options] PORT";
    QTest::newRow("oscillogram") << "oscillogram" << "Usage: orbix oscillogram [options] PORT";
    QTest::newRow("characteristic") << "characteristic" << "Usage: orbix characteristic [options]";
    QTest::newRow("config") << "config" << "Usage: orbix config [options] ACTION PORT [FILE]";
#ifdef ORBIX_WITH_REPORT
    QTest::newRow("report") << "report" << "Usage: orbix report [options] PORT OUT.pdf";
    QTest::newRow("audit") << "audit" << "Usage: orbix audit [options] PORT";
#endif
}

void TestCliUsage::usageLineNamesTheCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, usage);
    const Run help = orbix({command, "--help"});
    QCOMPARE(help.code, 0);
    QCOMPARE(help.out.section('\n', 0, 0), usage);
    const Run wrong = orbix({command, "--no-such-option"});
    QCOMPARE(wrong.code, 2);
    QCOMPARE(wrong.err.section('\n', 0, 0), QString("orbix: Unknown option 'no-such-option'."));
    QCOMPARE(wrong.err.section('\n', 2, 2), usage);
}

QTEST_GUILESS_MAIN(TestCliUsage)
#include "tst_cliusage.moc"
