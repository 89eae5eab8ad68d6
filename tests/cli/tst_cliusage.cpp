// What orbix says about itself: the version, and each command's usage line naming the
// command as a user types it, in its help and after a usage error alike. A usage error
// is three lines (reason, usage, hint) and exit 2, decided before any line is opened.
#include "tests/programrun.h"

#include <QtTest>

namespace {

ProgramRun orbix(const QStringList &args, const QString &accessCodeVariable = QString(), const QByteArray &typed = QByteArray())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("ORBIX_ACCESS_CODE");
    if (!accessCodeVariable.isNull())
        env.insert("ORBIX_ACCESS_CODE", accessCodeVariable);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORBIX_CLI), args);
    p.write(typed);
    p.closeWriteChannel();
    return waitForProgram(p, 20000);
}

} // namespace

class TestCliUsage : public QObject
{
    Q_OBJECT

private slots:
    void versionNamesTheBuild();
    void usageLineNamesTheCommand_data();
    void usageLineNamesTheCommand();
    void usageErrorsAreShort_data();
    void usageErrorsAreShort();
    void monitorAccessCode_data();
    void monitorAccessCode();
};

void TestCliUsage::versionNamesTheBuild()
{
    const ProgramRun r = orbix({"--version"});
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
    const ProgramRun help = orbix({command, "--help"});
    QCOMPARE(help.code, 0);
    QCOMPARE(help.out.section('\n', 0, 0), usage);
    const ProgramRun wrong = orbix({command, "--no-such-option"});
    QCOMPARE(wrong.code, 2);
    QCOMPARE(wrong.err, QString("orbix: Unknown option 'no-such-option'.\n%1\nTry 'orbix %2 --help'.\n").arg(usage, command));
}

void TestCliUsage::usageErrorsAreShort_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason"); // empty: no reason line
    QTest::addColumn<QString>("usage");
    QTest::addColumn<QString>("hint");
    const QString scan = "Usage: orbix scan [options] PORT";
    const QString read = "Usage: orbix read [options] PORT REGISTER [COUNT]";
    QTest::newRow("no command") << QStringList {} << "" << "Usage: orbix COMMAND [options]" << "Try 'orbix --help'.";
    QTest::newRow("unknown command") << QStringList {"bogus"} << "orbix: unknown command 'bogus'"
                                     << "Usage: orbix COMMAND [options]" << "Try 'orbix --help'.";
    QTest::newRow("scan without PORT") << QStringList {"scan"} << "orbix: scan needs PORT" << scan << "Try 'orbix scan --help'.";
    QTest::newRow("tcp:// without host") << QStringList {"scan", "tcp://"}
                                         << "orbix: tcp:// is not a network line (HOST:PORT)" << scan << "Try 'orbix scan --help'.";
    QTest::newRow("tcp:// without port") << QStringList {"read", "tcp://cabinet-3", "1"}
                                         << "orbix: tcp://cabinet-3 is not a network line (HOST:PORT)" << read
                                         << "Try 'orbix read --help'.";
    QTest::newRow("rfc2217:// without host") << QStringList {"monitor", "rfc2217://:4001"}
                                             << "orbix: rfc2217://:4001 is not a network line (HOST:PORT)"
                                             << "Usage: orbix monitor [options] PORT" << "Try 'orbix monitor --help'.";
    const QString monitor = "Usage: orbix monitor [options] PORT";
    QTest::newRow("monitor, days not a number") << QStringList {"monitor", "COM1", "--full-days", "7d"}
                                                << "orbix: bad --full-days" << monitor << "Try 'orbix monitor --help'.";
    QTest::newRow("monitor, no minute days") << QStringList {"monitor", "COM1", "--minute-days", "0"}
                                             << "orbix: bad --minute-days" << monitor << "Try 'orbix monitor --help'.";
#ifdef Q_OS_WIN
    QTest::newRow("gateway on Windows") << QStringList {"gateway", "--config", "g.json"}
                                        << "orbix: the plant gateway (orbix gateway, orbix-gateway) runs on Linux only"
                                        << "Usage: orbix COMMAND [options]" << "Try 'orbix --help'.";
#endif
#ifdef ORBIX_WITH_REPORT
    QTest::newRow("audit of a bad network name") << QStringList {"audit", "tcp://", "--out", "d"}
                                                 << "orbix: tcp:// is not a network line (HOST:PORT)"
                                                 << "Usage: orbix audit [options] PORT" << "Try 'orbix audit --help'.";
#endif
}

// The reason, the usage line and where the help is; never the page of options.
void TestCliUsage::usageErrorsAreShort()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    QFETCH(QString, usage);
    QFETCH(QString, hint);
    const ProgramRun r = orbix(args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err, (reason.isEmpty() ? QString() : reason + '\n') + usage + '\n' + hint + '\n');
}

void TestCliUsage::monitorAccessCode_data()
{
    QTest::addColumn<QStringList>("option");
    QTest::addColumn<QString>("variable"); // ORBIX_ACCESS_CODE; null: not set
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("stderrStart");
    const QString refused = "orbix: bad access code (0-9999)\nUsage: orbix monitor [options] PORT\n";
    const QString taken = "orbix: "; // on to the port, which is no serial port
    QTest::newRow("letters") << QStringList {"--access-code", "abc"} << QString() << QByteArray() << 2 << refused;
    QTest::newRow("beyond four digits") << QStringList {"--access-code", "40000"} << QString() << QByteArray() << 2 << refused;
    QTest::newRow("negative") << QStringList {"--access-code", "-1"} << QString() << QByteArray() << 2 << refused;
    QTest::newRow("bad variable") << QStringList {} << "12a" << QByteArray() << 2 << refused;
    QTest::newRow("variable taken") << QStringList {} << "1234" << QByteArray() << 1 << taken;
    QTest::newRow("option wins over the variable") << QStringList {"--access-code", "9999"} << "12a" << QByteArray() << 1
                                                   << taken;
    QTest::newRow("typed after -") << QStringList {"--access-code", "-"} << QString() << QByteArray("1234\n") << 1
                                   << "Access code: orbix: ";
    // Asked for, a code is needed; unasked, monitor needs none and leaves the input alone.
    QTest::newRow("nothing after -") << QStringList {"--access-code", "-"} << QString() << QByteArray() << 2
                                     << "Access code: orbix: no access code given: --access-code CODE, "
                                        "--access-code - to type it, or $ORBIX_ACCESS_CODE\nUsage: orbix monitor";
    QTest::newRow("input not taken unasked") << QStringList {} << QString() << QByteArray("1234\n") << 1 << taken;
}

// Judged before the line is opened: a refused code never reaches the device.
void TestCliUsage::monitorAccessCode()
{
    QFETCH(QStringList, option);
    QFETCH(QString, variable);
    QFETCH(QByteArray, typed);
    QFETCH(QString, stderrStart);
    const ProgramRun r = orbix(QStringList {"monitor", "/dev/null"} + option, variable, typed);
    QTEST(r.code, "code");
    QVERIFY2(r.err.startsWith(stderrStart), qPrintable(r.err));
    QCOMPARE(r.err.contains("not a serial port"), r.code == 1);
}

QTEST_GUILESS_MAIN(TestCliUsage)
#include "tst_cliusage.moc"
