// COM numbers on Linux: fixed numbers for on-board UARTs, remembered numbers for
// adapters that survive re-plugging, and bindings that override both.
#include "storage/portmap.h"

#include <QtTest>

#include "storage/datadirectory.h"

namespace {

struct FakeDev {
    QTemporaryDir dir;
    QString root() const { return dir.path(); }
    QString node(const QString &name)
    {
        QFile f(root() + QLatin1Char('/') + name);
        f.open(QIODevice::WriteOnly);
        return f.fileName();
    }
    void stableLink(const QString &name, const QString &target)
    {
        QDir().mkpath(root() + QStringLiteral("/serial/by-id"));
        const QString link = root() + QStringLiteral("/serial/by-id/") + name;
        QFile::remove(link);
        QFile::link(root() + QLatin1Char('/') + target, link);
    }
    QList<PortMap::Candidate> candidates(const QStringList &names)
    {
        QList<PortMap::Candidate> out;
        for (const QString &n : names)
            out.append({n, node(n), n + QStringLiteral(" adapter")});
        return out;
    }
    QString bindings() const { return root() + QStringLiteral("/data/ports.conf"); }
};

int numberOf(const PortMap &map, const QString &systemName)
{
    for (const PortMap::Port &p : map.ports())
        if (p.systemName == systemName)
            return p.number;
    return 0;
}

} // namespace

class TestPortMap : public QObject
{
    Q_OBJECT

private slots:
    void optionsAfterThePath_data();
    void optionsAfterThePath();
    void comNames_data();
    void comNames();
    void onBoardPortsHaveFixedNumbers();
    void adaptersKeepTheirNumbersAcrossReplugging();
    void newAdapterTakesTheNextFreeNumber();
    void bindingsOverride();
    void portsAreListedInAscendingOrder();
    void trailingComments_data();
    void trailingComments();
    void oversizedFileIsNeitherReadNorWrittenOver();
    void windowsNames_data();
    void windowsNames();
    void windowsPortsAreTheSystems();
};

void TestPortMap::comNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("COM3") << "COM3" << 3;
    QTest::newRow("lower case") << "com12" << 12;
    QTest::newRow("bare number") << "7" << 7;
    QTest::newRow("zero") << "COM0" << 0;
    QTest::newRow("path") << "/dev/ttyUSB0" << 0;
    QTest::newRow("garbage") << "COMx" << 0;
}

void TestPortMap::comNames()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    QCOMPARE(PortMap::parseComName(name), number);
}

void TestPortMap::onBoardPortsHaveFixedNumbers()
{
    FakeDev dev;
    const PortMap map(dev.bindings(), QString(), dev.root(), dev.candidates({"ttyS0", "ttyS3", "ttyAMA1"}));
    QCOMPARE(numberOf(map, "ttyS0"), 1);
    QCOMPARE(numberOf(map, "ttyS3"), 4);
    QCOMPARE(numberOf(map, "ttyAMA1"), 34);
    QCOMPARE(map.devicePath(4), dev.root() + "/ttyS3");
    QCOMPARE(map.devicePath(33), dev.root() + "/ttyAMA0"); // known even while absent
    QCOMPARE(map.resolve("com1"), dev.root() + "/ttyS0");
    QCOMPARE(map.resolve("/dev/ttyUSB7"), QString("/dev/ttyUSB7"));
    QVERIFY(map.resolve("usb0").isEmpty());
    QVERIFY(map.devicePath(41).isEmpty());
    QVERIFY(!QFile::exists(dev.bindings())); // nothing to remember
}

void TestPortMap::adaptersKeepTheirNumbersAcrossReplugging()
{
#ifdef Q_OS_WIN
    QSKIP("the stable names are symbolic links under /dev/serial: Linux's");
#endif
    FakeDev dev;
    dev.stableLink("usb-FTDI_A-if00-port0", "ttyUSB0");
    dev.stableLink("usb-Prolific_B-if00-port0", "ttyUSB1");
    const PortMap first(dev.bindings(), QString(), dev.root(), dev.candidates({"ttyUSB0", "ttyUSB1", "ttyACM0"}));
    QCOMPARE(numberOf(first, "ttyUSB0"), 41);
    QCOMPARE(numberOf(first, "ttyUSB1"), 42);
    QCOMPARE(numberOf(first, "ttyACM0"), 43); // no stable name: known by its kernel name
    QVERIFY(QFile::exists(dev.bindings()));

    // Plugged in again the other way round: the kernel names swap, the COM numbers follow the adapters.
    dev.stableLink("usb-FTDI_A-if00-port0", "ttyUSB1");
    dev.stableLink("usb-Prolific_B-if00-port0", "ttyUSB0");
    const PortMap again(dev.bindings(), QString(), dev.root(), dev.candidates({"ttyUSB0", "ttyUSB1"}));
    QCOMPARE(numberOf(again, "ttyUSB1"), 41);
    QCOMPARE(numberOf(again, "ttyUSB0"), 42);
    QCOMPARE(QFileInfo(again.devicePath(41)).canonicalFilePath(), QFileInfo(dev.root() + "/ttyUSB1").canonicalFilePath());
}

void TestPortMap::newAdapterTakesTheNextFreeNumber()
{
    FakeDev dev;
    dev.stableLink("usb-A", "ttyUSB0");
    PortMap(dev.bindings(), QString(), dev.root(), dev.candidates({"ttyUSB0"}));
    dev.stableLink("usb-0-first-by-name", "ttyUSB1");
    const PortMap map(dev.bindings(), QString(), dev.root(), dev.candidates({"ttyUSB0", "ttyUSB1"}));
    QCOMPARE(numberOf(map, "ttyUSB0"), 41); // remembered, although the newcomer sorts first
    QCOMPARE(numberOf(map, "ttyUSB1"), 42);
}

void TestPortMap::bindingsOverride()
{
    FakeDev dev;
    const QString pty = dev.node("pts-7");
    const QString other = dev.node("line-b");
    QDir().mkpath(QFileInfo(dev.bindings()).absolutePath());
    QFile f(dev.bindings());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(("# comment\nCOM9=" + other + "\nbroken line\nCOM1=" + other + "\n").toUtf8());
    f.close();
    const PortMap map(dev.bindings(), "COM5=" + pty + "; COM1 = " + pty, dev.root(), dev.candidates({"ttyS0"}));
    QCOMPARE(map.devicePath(5), pty);
    QCOMPARE(map.devicePath(1), pty);   // the environment wins over the file and the fixed rule
    QCOMPARE(map.devicePath(9), other); // the file wins over nothing
    QCOMPARE(map.resolve("COM9"), other);
    QCOMPARE(numberOf(map, "pts-7"), 1);
}

void TestPortMap::optionsAfterThePath_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("rs485");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("path alone") << "/dev/ttyS2" << true << false << 0 << 0;
    QTest::newRow("rs485") << "/dev/ttyS2 rs485" << true << true << 0 << 0;
    QTest::newRow("rs485 with delays") << "/dev/ttyS2\trs485=2/5" << true << true << 2 << 5;
    QTest::newRow("unknown option") << "/dev/ttyS2 fast" << false << false << 0 << 0;
    QTest::newRow("malformed delays") << "/dev/ttyS2 rs485=2" << false << false << 0 << 0;
}

// "COM3=/dev/ttyS2 rs485": the path is what is opened, the rest drives the port.
void TestPortMap::optionsAfterThePath()
{
    QFETCH(QString, value);
    QString path;
    LineOptions options;
    QTEST(PortMap::parseTarget(value, path, options), "known");
    QCOMPARE(path, QString("/dev/ttyS2"));
    QTEST(options.rs485, "rs485");
    QTEST(options.rs485DelayBeforeMs, "before");
    QTEST(options.rs485DelayAfterMs, "after");

    FakeDev dev;
    const PortMap map(dev.bindings(), "COM3=" + value, dev.root(), {});
    QCOMPARE(map.devicePath(3), QString("/dev/ttyS2"));
    QCOMPARE(map.lineOptions(3).rs485, options.rs485);
    QCOMPARE(map.lineOptions(4).rs485, false);
}

void TestPortMap::portsAreListedInAscendingOrder()
{
    FakeDev dev;
    dev.stableLink("usb-A", "ttyUSB0");
    const PortMap map(dev.bindings(), "COM10=" + dev.node("pts-1"), dev.root(),
                      dev.candidates({"ttyUSB0", "ttyS1", "ttyS0"}));
    QList<int> numbers;
    for (const PortMap::Port &p : map.ports())
        numbers << p.number;
    QCOMPARE(numbers, (QList<int> {1, 2, 10, 41}));
    QCOMPARE(map.ports().last().description, QString("ttyUSB0 adapter"));
}


void TestPortMap::trailingComments_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("rs485");
    // The README's own example.
    QTest::newRow("after options") << "COM3=/dev/ttyS2 rs485        # the kernel's RS-485 mode: RTS high"
                                   << "/dev/ttyS2 rs485" << true;
    QTest::newRow("after a path") << "COM3=/dev/ttyS2\t# on-board" << "/dev/ttyS2" << false;
    QTest::newRow("inside a name") << "COM3=/dev/line#2" << "/dev/line#2" << false;
    QTest::newRow("whole line") << "# COM3=/dev/ttyS2" << "" << false;
}

void TestPortMap::trailingComments()
{
    QFETCH(QString, line);
    QFETCH(QString, target);
    QFETCH(bool, rs485);
    const QMap<int, QString> bindings = PortMap::parseBindings(line + "\nCOM4=/dev/ttyS3 # two\n", '\n');
    QCOMPARE(bindings.value(3), target);
    QCOMPARE(bindings.value(4), QString("/dev/ttyS3"));
    QString path;
    LineOptions options;
    QVERIFY(PortMap::parseTarget(bindings.value(3), path, options)); // no option unknown, no warning
    FakeDev dev;
    const PortMap map(dev.bindings(), line, dev.root(), {});
    QCOMPARE(map.lineOptions(3).rs485, rs485);
    // In the variable a comment ends only at ';', even across a line break in it.
    const QMap<int, QString> env = PortMap::parseBindings(line + "\n# more\nCOM5=/dev/x;COM4=/dev/ttyS3", ';');
    QCOMPARE(env.value(3), target);
    QVERIFY(!env.contains(5));
    QCOMPARE(env.value(4), QString("/dev/ttyS3"));
}

// A file far larger than any list of bindings costs nothing, and a new binding does
// not replace it with the one line.
void TestPortMap::oversizedFileIsNeitherReadNorWrittenOver()
{
    FakeDev dev;
    DataDirectory::setOverride(QFileInfo(dev.bindings()).absolutePath());
    QByteArray text = "COM50=/dev/ttyS3\n";
    text += QByteArray(int(PortMap::kMaxBindingFileBytes), '#');
    QVERIFY(DataDirectory::writeFile(dev.bindings(), text));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("larger than 1048576 bytes"));
    const PortMap map(dev.bindings(), QString(), dev.root(), {});
    QCOMPARE(map.devicePath(50), QString());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("larger than 1048576 bytes"));
    QVERIFY(!PortMap::saveBinding(51, "modbus-tcp://10.0.0.5"));
    QCOMPARE(QFileInfo(dev.bindings()).size(), qint64(text.size()));
    QVERIFY(DataDirectory::writeFile(dev.bindings(), text.left(17)));
    QVERIFY(PortMap::saveBinding(51, "modbus-tcp://10.0.0.5"));
    QCOMPARE(PortMap(dev.bindings(), QString(), dev.root(), {}).devicePath(50), QString("/dev/ttyS3"));
    DataDirectory::setOverride(QString());
}

void TestPortMap::windowsNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM3") << "COM3" << "\\\\.\\COM3";
    QTest::newRow("above COM9") << "com12" << "\\\\.\\COM12";
    QTest::newRow("past the Linux ranges") << "41" << "\\\\.\\COM41";
    QTest::newRow("device path") << "\\\\.\\COM4" << "\\\\.\\COM4";
    QTest::newRow("bound to the network") << "COM50" << "modbus-tcp://10.0.0.5";
    QTest::newRow("bound in the file") << "COM7" << "\\\\.\\CNCA0";
    QTest::newRow("a Linux name") << "ttyS0" << "";
}

// Windows numbers its ports: COMn is \\.\COMn, whatever n; bindings still win.
void TestPortMap::windowsNames()
{
    QFETCH(QString, name);
    FakeDev dev;
    QDir().mkpath(QFileInfo(dev.bindings()).absolutePath());
    QVERIFY(DataDirectory::writeFile(dev.bindings(), "COM7=\\\\.\\CNCA0\n"));
    const PortMap map(dev.bindings(), "COM50=modbus-tcp://10.0.0.5", QString(), {}, {}, QString(),
                      PortMap::Naming::Windows);
    QTEST(map.resolve(name), "path");
}

void TestPortMap::windowsPortsAreTheSystems()
{
    FakeDev dev;
    const QList<PortMap::Candidate> present {{"COM10", "\\\\.\\COM10", "USB Serial Port, FTDI"},
                                             {"COM1", "\\\\.\\COM1", "Communications Port"},
                                             {"CNCA0", "\\\\.\\CNCA0", "\\Device\\com0com10"},
                                             {"COM3", "\\\\.\\COM3", ""}};
    const PortMap map(dev.bindings(), "COM3=tcp://127.0.0.1:5020;COM60=\\\\.\\cnca0;COM61=\\\\.\\CNCA1", QString(),
                      present, {}, QString(), PortMap::Naming::Windows);
    QStringList seen;
    for (const PortMap::Port &p : map.ports())
        seen << QStringLiteral("%1 %2 %3 %4").arg(p.number).arg(p.path, p.systemName, p.description);
    // A name that is no COMn is offered only where bound; a binding to a port that is not there is not offered.
    QCOMPARE(seen, (QStringList {"1 \\\\.\\COM1 COM1 Communications Port", "3 tcp://127.0.0.1:5020 tcp://127.0.0.1:5020 ",
                                 "10 \\\\.\\COM10 COM10 USB Serial Port, FTDI", "60 \\\\.\\cnca0 cnca0 "}));
    QVERIFY(!QFile::exists(dev.bindings())); // nothing assigned, nothing remembered
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"
