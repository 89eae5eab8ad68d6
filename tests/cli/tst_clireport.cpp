// `orbix report` and `orbix audit` against the simulator, as a headless box on the
// panel runs them: the window's document with and without an oscillogram, failures
// named on one line with no file left, and an audit of a line of three devices, one
// of which stops answering half-way, and of a line where a device answers under every
// format and two devices share an address. Only these two commands load Qt's GUI
// libraries and Qwt; the line commands run without them.
#include "device/deviceinfo.h"
#include "report/reportbuilder.h"
#include "sim/simulator.h"
#include "storage/settingsfile.h"
#include "tests/programrun.h"
#include "tests/report/pdfdocument.h"
#include "tests/testreplygap.h"

#include <QtTest>

#include <memory>

namespace {

constexpr int kPortNumber = 78;
constexpr int kRunMs = 60000;
constexpr int kFaultCode = 303; // the oscillogram's fault code register
constexpr int kMonitoring = 33; // first register of the monitoring block
const char kSeconds[] = "2";

// One orbix run with the line bound to COM78; killed when the test ends early.
class CliRun
{
public:
    explicit CliRun(const QString &linkPath)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORBIX_PORTS", QString("COM%1=%2").arg(kPortNumber).arg(linkPath));
        env.remove("DISPLAY"); // headless, as on the panel
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardError, [this] {
            err += QString::fromUtf8(process.readAllStandardError());
        });
    }
    ~CliRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    // onLine: a command that talks to the line, which takes the tests' reply gap.
    void start(const QStringList &args, bool onLine = true)
    {
        const QStringList gap {"--reply-gap", QString::number(kTestReplyGapMs)};
        process.start(QStringLiteral(ORBIX_CLI), onLine ? args + gap : args);
    }
    // The dynamic loader tells on stderr every library it maps (mappedLibraries()).
    void traceLibraries()
    {
        QProcessEnvironment env = process.processEnvironment();
        env.insert("LD_DEBUG", "libs");
        process.setProcessEnvironment(env);
    }
    bool finish()
    {
        return QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, kRunMs)
            && process.exitStatus() == QProcess::NormalExit;
    }
    int code() const { return process.exitCode(); }

    QProcess process;
    QString err;
};

QPointF layoutOrigin()
{
    const QMarginsF m = ReportBuilder::pageMargins() * (72 / 25.4);
    return QPointF(m.left(), m.top());
}

QStringList csvRows(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
}

// The libraries a run mapped, by file name, as the loader told them (LD_DEBUG=libs).
QStringList mappedLibraries(const QString &err)
{
    static const QRegularExpression init("calling init: (\\S+)");
    QStringList names;
    for (auto it = init.globalMatch(err); it.hasNext();)
        names << QFileInfo(it.next().captured(1)).fileName();
    return names;
}

} // namespace

class TestCliReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void reportOfADevice_data();
    void reportOfADevice();
    void reportFailuresLeaveNoFile_data();
    void reportFailuresLeaveNoFile();
    void reportInEnglish();
    void auditOfALine();
    void auditOfSharedAddresses();
    void usageErrors_data();
    void usageErrors();
    void guiLibrariesOnlyToPaint_data();
    void guiLibrariesOnlyToPaint();
    void reportModuleBesideTheProgram();

private:
    QString com() const { return QString("COM%1").arg(kPortNumber); }

    Simulator sim;
    QTemporaryDir dir;
};

void TestCliReport::initTestCase()
{
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {2, 80, 0, 19200, 1, 50});
    sim.addDevice(SimDeviceConfig {3, 60, 1, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {4, 70, 0, 19200, 2, 10, true}); // behind a converter that ignores parity
    sim.addDevice(SimDeviceConfig {5, 70, 0, 19200, 2, 10});
    sim.addDevice(SimDeviceConfig {5, 80, 3, 19200, 1, 50}); // the same address at 8N2
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
}

void TestCliReport::cleanupTestCase()
{
    sim.stop();
}

void TestCliReport::init()
{
    sim.clearFaults();
}

void TestCliReport::reportOfADevice_data()
{
    QTest::addColumn<bool>("oscillogram");
    QTest::newRow("with an oscillogram: the crash section, the protocol at 840") << true;
    QTest::newRow("without: the protocol at 440") << false;
}

// The window's document of device 1: its line, its settings and, only with an
// oscillogram, the crash section.
void TestCliReport::reportOfADevice()
{
    QFETCH(bool, oscillogram);
    if (!oscillogram)
        sim.setRegisterValue(1, kFaultCode, 0);
    else
        sim.injectTrip(1, 32);
    for (int reg : {42, 43, 44}) // 16 A at 2 counts per ampere
        sim.setRegisterValue(1, reg, 32);
    const QString path = dir.filePath(QString("device1-%1.pdf").arg(oscillogram));
    CliRun run(sim.linkPath());
    run.start({"report", com(), "--address", "1", path, "--seconds", kSeconds});
    QVERIFY(run.finish());
    QVERIFY2(run.code() == 0, qPrintable(run.err));
    QCOMPARE(run.err, QString());
    const PdfDocument pdf(path, layoutOrigin());
    QVERIFY2(pdf.isValid(), qPrintable(pdf.error()));
    QVERIFY(pdf.pageCount() >= 2);
    const QRectF header = pdf.findNear(0, QString("ОРБИКС-11 5-50 v0.70 / 1 / 19 200 / 8E1 / COM%1").arg(kPortNumber), {0, 0});
    QVERIFY(!header.isNull() && header.left() < 1.5);
    const QString rated = QString::number(sim.registerValue(1, 5) / 2.0, 'f', 1) + "А";
    QVERIFY2(qAbs(pdf.findNear(0, rated, {300, 52}).bottom() - 52) < 6, qPrintable(rated));
    sim.releaseRegisters(1);
    QVERIFY2(!pdf.findAll(0, "Ток A: 16.0").isEmpty(), "the live plot's legend in amperes");
    const QString cyclicWork = QString::number(sim.registerValue(1, 22)) + " мин";
    QVERIFY2(qAbs(pdf.findNear(0, cyclicWork, {660, 52}).bottom() - 52) < 6, qPrintable(cyclicWork));
    const QRectF crash = pdf.findNear(1, "Авария: Тепловая перегрузка двигателя (32)", {0, 420});
    QCOMPARE(!crash.isNull(), oscillogram);
    const double protocolY = oscillogram ? 876 : 440;
    QVERIFY(qAbs(pdf.findNear(1, "Протокол работы ОРБИКС", {0, protocolY}).bottom() - protocolY) < 6);
}

// --lang en: the same document with English texts in the same places; the device's
// name stays as it is, and the default (above) stays Russian.
void TestCliReport::reportInEnglish()
{
    sim.injectTrip(1, 32);
    const QString path = dir.filePath("device1-en.pdf");
    CliRun run(sim.linkPath());
    run.start({"report", com(), "--address", "1", path, "--seconds", kSeconds, "--lang", "en"});
    QVERIFY(run.finish());
    QVERIFY2(run.code() == 0, qPrintable(run.err));
    QCOMPARE(run.err, QString());
    const PdfDocument pdf(path, layoutOrigin());
    QVERIFY2(pdf.isValid(), qPrintable(pdf.error()));
    QVERIFY(pdf.pageCount() >= 2);
    QVERIFY(!pdf.findNear(0, QString("ОРБИКС-11 5-50 v0.70 / 1 / 19 200 / 8E1 / COM%1").arg(kPortNumber), {0, 0}).isNull());
    const QString rated = QString::number(sim.registerValue(1, 5) / 2.0, 'f', 1) + "A";
    QVERIFY2(qAbs(pdf.findNear(0, rated, {300, 52}).bottom() - 52) < 6, qPrintable(rated));
    const QString cyclicWork = QString::number(sim.registerValue(1, 22)) + " min";
    QVERIFY2(qAbs(pdf.findNear(0, cyclicWork, {660, 52}).bottom() - 52) < 6, qPrintable(cyclicWork));
    QVERIFY(!pdf.findNear(1, "Fault: Motor thermal overload (32)", {0, 420}).isNull());
    QVERIFY(qAbs(pdf.findNear(1, "Device operation log", {0, 876}).bottom() - 876) < 6);
    const QRegularExpression cyrillic("[\\x{0400}-\\x{04FF}]");
    for (int page = 0; page < pdf.pageCount(); ++page)
        for (const PdfDocument::Word &word : pdf.words(page))
            QVERIFY2(word.text == "ОРБИКС-11" || !word.text.contains(cyrillic), qPrintable(word.text));
}

void TestCliReport::reportFailuresLeaveNoFile_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    QTest::newRow("no device at the address") << QStringList {"--address", "9"} << dir.filePath("nine.pdf")
                                              << "orbix: no answer from address 9 at 19200 bit/s 8E1";
    QTest::newRow("a directory that cannot be written") << QStringList {"--address", "1"} << "/proc/report.pdf"
                                                        << "orbix: cannot create a file in /proc: ";
}

// One line naming the reason, exit 1, no file under the name.
void TestCliReport::reportFailuresLeaveNoFile()
{
    QFETCH(QStringList, args);
    QFETCH(QString, target);
    QFETCH(QString, message);
    CliRun run(sim.linkPath());
    run.start(QStringList {"report", com()} + args + QStringList {target, "--seconds", "1"});
    QVERIFY(run.finish());
    QCOMPARE(run.code(), 1);
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(target));
}

// Device 2 stops answering after its first live values: the other two are audited,
// its row names the reason, and the exit status says that not every device was.
void TestCliReport::auditOfALine()
{
    sim.injectTrip(1, 32);
    sim.setRegisterValue(3, kFaultCode, 0); // device 3 keeps no oscillogram
    const QString out = dir.filePath("audit");
    CliRun run(sim.linkPath());
    run.start({"audit", com(), "--out", out, "--addresses", "1-3", "--probe-timeout", "100", "--seconds", kSeconds});
    QVERIFY(QTest::qWaitFor([&] { return run.err.contains("device 2 of 3: address 2"); }, kRunMs));
    const auto monitoringOf2 = [this] {
        const QVector<SimRequest> requests = sim.requests();
        return std::any_of(requests.cbegin(), requests.cend(),
                           [](const SimRequest &r) { return r.address == 2 && r.firstRegister == kMonitoring; });
    };
    sim.clearRequests();
    QVERIFY(QTest::qWaitFor(monitoringOf2, kRunMs));
    sim.setFault(SimFault {SimFault::NoReply}, -1, 2);
    QVERIFY(run.finish());
    QCOMPARE(run.code(), 1);
    QVERIFY2(run.err.endsWith("orbix: 1 of 3 devices not audited\n"), qPrintable(run.err));
    QVERIFY(run.err.contains("device 1 of 3") && run.err.contains("device 3 of 3"));

    QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList {"1.cfg", "1.dat", "1.json", "1.pdf", "3.json", "3.pdf", "audit.csv"}));
    const QStringList rows = csvRows(QDir(out).filePath("audit.csv"));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0], QString("address,identity,format,faultCode,faultText,runningHours,startCount,files,failure"));
    const QString hours1 = QString::number(sim.registerValue(1, 170));
    // Device 1 tripped: its active fault; device 3 has none.
    QCOMPARE(rows[1], QString("1,ОРБИКС-11 5.0-50.0 v0.7,8E1,32,Тепловая перегрузка двигателя,%1,,1.json 1.pdf 1.cfg 1.dat,")
                          .arg(hours1));
    QCOMPARE(rows[2], QString("2,ОРБИКС-11 50-500 v0.8,8E1,,,,,,monitoring could not be read: no answer"));
    QVERIFY2(rows[3].startsWith("3,ОРБИКС-11 5.0-50.0 v0.6,8O1,0,Аварий нет,") && rows[3].endsWith(",3.json 3.pdf,"),
             qPrintable(rows[3]));

    SettingsFile settings;
    QString error;
    QVERIFY2(SettingsFile::load(QDir(out).filePath("3.json"), settings, error), qPrintable(error));
    QCOMPARE(settings.device.address, 3);
    QCOMPARE(settings.fields.value("ratedCurrent"), int(sim.registerValue(3, 5)));
    QFile cfg(QDir(out).filePath("1.cfg"));
    QVERIFY(cfg.open(QIODevice::ReadOnly));
    QVERIFY(cfg.readLine().startsWith("ORBIKS-11,ORBIKS-11 5.0-50.0 v0.7/1,"));
    const PdfDocument report(QDir(out).filePath("3.pdf"), layoutOrigin());
    QVERIFY(!report.findAll(0, "ОРБИКС-11 5-50 v0.60 / 3 / 19 200 / 8O1 / COM78").isEmpty());
}

// One row and one set of files per device: device 4 once, at the first format it
// answered; the two devices at address 5 each under its own format's name, each file
// holding its own device.
void TestCliReport::auditOfSharedAddresses()
{
    const QString out = dir.filePath("shared");
    CliRun run(sim.linkPath());
    run.start({"audit", com(), "--out", out, "--addresses", "4-5", "--probe-timeout", "100", "--seconds", "1"});
    QVERIFY(run.finish());
    QVERIFY2(run.code() == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains("address 4 answered under 8N15 too") && run.err.contains("device 3 of 3: address 5 8N15"),
             qPrintable(run.err));
    const struct { QString base, row, recorder; int modification; } devices[] = {
        {"4", "4,ОРБИКС-11 5.0-50.0 v0.7,8E1,", "ORBIKS-11 5.0-50.0 v0.7/4", 70},
        {"5-8E1", "5,ОРБИКС-11 5.0-50.0 v0.7,8E1,", "ORBIKS-11 5.0-50.0 v0.7/5", 70},
        {"5-8N15", "5,ОРБИКС-11 50-500 v0.8,8N15,", "ORBIKS-11 50-500 v0.8/5", 80},
    };
    QStringList expected {"audit.csv"};
    for (const auto &d : devices)
        for (const char *suffix : {".cfg", ".dat", ".json", ".pdf"})
            expected << d.base + suffix;
    expected.sort();
    QCOMPARE(QDir(out).entryList(QDir::Files), expected);
    const QStringList rows = csvRows(QDir(out).filePath("audit.csv"));
    QCOMPARE(rows.size(), 1 + 3);
    for (int i = 0; i < 3; ++i) {
        const QString &base = devices[i].base;
        QVERIFY2(rows[i + 1].startsWith(devices[i].row), qPrintable(rows[i + 1]));
        QVERIFY2(rows[i + 1].endsWith(QString(",%1.json %1.pdf %1.cfg %1.dat,").arg(base)), qPrintable(rows[i + 1]));
        SettingsFile settings;
        QString error;
        QVERIFY2(SettingsFile::load(QDir(out).filePath(base + ".json"), settings, error), qPrintable(error));
        QCOMPARE(settings.device.modification, devices[i].modification);
        QFile cfg(QDir(out).filePath(base + ".cfg"));
        QVERIFY(cfg.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(cfg.readLine()), QString("ORBIKS-11,%1,1999\r\n").arg(devices[i].recorder));
    }
}

void TestCliReport::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("report without OUT") << QStringList {"report", "COM78", "--address", "1"} << 2 << "PORT and OUT";
    QTest::newRow("report of no seconds") << QStringList {"report", "COM78", "x.pdf", "--seconds", "0"} << 2 << "--seconds";
    QTest::newRow("report in no known language") << QStringList {"report", "COM78", "x.pdf", "--lang", "de"} << 2
                                                 << "--lang";
    QTest::newRow("audit without --out") << QStringList {"audit", "COM78"} << 2 << "--out DIR";
    QTest::newRow("audit of a bad range") << QStringList {"audit", "COM78", "--out", "d", "--addresses", "9-3"} << 2
                                          << "address range";
    QTest::newRow("report on a missing port") << QStringList {"report", "/dev/orbix-absent", "x.pdf"} << 1
                                              << "does not exist";
}

void TestCliReport::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, fragment);
    CliRun run(sim.linkPath());
    run.start(args);
    QVERIFY(run.finish());
    QCOMPARE(run.code(), code);
    QVERIFY2(run.err.contains(fragment), qPrintable(run.err));
}

void TestCliReport::guiLibrariesOnlyToPaint_data()
{
    QTest::addColumn<QStringList>("args"); // PDF: the report's file
    QTest::addColumn<bool>("onLine");
    QTest::addColumn<bool>("paints");
    const QStringList device {com(), "--address", "1"};
    QTest::newRow("read") << QStringList {"read"} + device + QStringList {"1", "4"} << true << false;
    QTest::newRow("monitor") << QStringList {"monitor"} + device + QStringList {"--cycles", "1"} << true << false;
    QTest::newRow("config get") << QStringList {"config", "get"} + device << true << false;
    QTest::newRow("ports") << QStringList {"ports"} << false << false;
    QTest::newRow("report") << QStringList {"report"} + device + QStringList {"PDF", "--seconds", "1"} << true << true;
}

// What a run maps, from the loader's own account: Qt Core always; Qt's GUI libraries,
// Qwt and the report module only for the report, which is still written whole.
void TestCliReport::guiLibrariesOnlyToPaint()
{
    QFETCH(QStringList, args);
    QFETCH(bool, onLine);
    QFETCH(bool, paints);
    const QString pdf = dir.filePath("mapped.pdf");
    QFile::remove(pdf);
    CliRun run(sim.linkPath());
    run.traceLibraries();
    run.start(args.replaceInStrings("PDF", pdf), onLine);
    QVERIFY(run.finish());
    QVERIFY2(run.code() == 0, qPrintable(run.err.right(2000)));
    const QStringList mapped = mappedLibraries(run.err);
    QVERIFY2(mapped.contains("libQt5Core.so.5"), qPrintable(mapped.join(' ')));
    static const QRegularExpression gui("^(libQt5(Gui|Widgets|OpenGL|PrintSupport|Svg)\\.|libqwt|orbix-report\\.so)");
    const QStringList guiMapped = mapped.filter(gui);
    if (paints)
        QCOMPARE(guiMapped.filter(QRegularExpression("^(libQt5Widgets|libqwt|orbix-report)")).size(), 3);
    else
        QCOMPARE(guiMapped, QStringList());
    QCOMPARE(QFileInfo(pdf).size() > 0, paints);
}

// The module is looked for beside the program that runs, not where the build put it: a
// copy of orbix alone has the line commands and names what report misses.
void TestCliReport::reportModuleBesideTheProgram()
{
    QTemporaryDir alone;
    const QString copy = alone.filePath("orbix");
    QVERIFY(QFile::copy(ORBIX_CLI, copy));
    const QString pdf = alone.filePath("x.pdf");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORBIX_PORTS", QString("COM%1=%2").arg(kPortNumber).arg(sim.linkPath()));
    env.insert("ORBIX_DATA_DIR", alone.filePath("data"));
    p.setProcessEnvironment(env);
    p.start(copy, {"report", com(), "--address", "1", pdf});
    ProgramRun r = waitForProgram(p, kRunMs);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith("orbix: report and audit need the report module: "), qPrintable(r.err));
    QVERIFY2(r.err.contains("orbix-report.so"), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY(!QFile::exists(pdf));
    p.start(copy, {"read", com(), "--address", "1", "1", "4", "--reply-gap", QString::number(kTestReplyGapMs)});
    r = waitForProgram(p, kRunMs);
    QVERIFY2(r.code == 0, qPrintable(r.err));
}

QTEST_MAIN(TestCliReport)
#include "tst_clireport.moc"
