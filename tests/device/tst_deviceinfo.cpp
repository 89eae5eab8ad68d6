// The 36-byte device record: the layout of the device list and last-connection
// files, and the text under which the device table shows it.
#include "device/deviceinfo.h"

#include <QtTest>

class TestDeviceInfo : public QObject
{
    Q_OBJECT

private slots:
    void recordLayoutIsLittleEndian();
    void recordRoundTripAndShortInput();
    void displayText_data();
    void displayText();
    void formatCodes();
};

void TestDeviceInfo::recordLayoutIsLittleEndian()
{
    DeviceInfo d;
    d.kind = 0;
    d.address = 0x0102;
    d.baudRate = 19200;
    d.frameFormat = 2;
    d.portNumber = 41;
    d.modification = 80;
    d.currentScale = 2;
    d.minRatedCurrent = 5.0f;
    d.maxRatedCurrent = 50.0f;
    const QByteArray r = d.toRecord();
    QCOMPARE(r.size(), 36);
    QCOMPARE(r.toHex(' '), QByteArray("00 00 00 00 02 01 00 00 00 4b 00 00 02 00 00 00 29 00 00 00 "
                                      "50 00 00 00 02 00 00 00 00 00 a0 40 00 00 48 42"));
}

void TestDeviceInfo::recordRoundTripAndShortInput()
{
    DeviceInfo d;
    d.kind = 1;
    d.address = 247;
    d.baudRate = 600;
    d.frameFormat = 3;
    d.portNumber = 3;
    d.minRatedCurrent = 8.4f;
    const QByteArray r = d.toRecord();
    DeviceInfo back;
    QVERIFY(DeviceInfo::fromRecord(r.constData(), r.size(), back));
    QCOMPARE(back.toRecord(), r);
    QCOMPARE(back.minRatedCurrent, 8.4f);
    QVERIFY(!DeviceInfo::fromRecord(r.constData(), 35, back));
}

void TestDeviceInfo::displayText_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("scale");
    QTest::addColumn<float>("minI");
    QTest::addColumn<float>("maxI");
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("recognised") << 0 << 2 << 5.0f << 50.0f << 70 << 0 << "ОРБИКС-11 5.0-50.0 v0.7/1/19200/8E1/COM3";
    QTest::newRow("scale 1: whole amperes") << 0 << 1 << 50.0f << 500.0f << 80 << 1 << "ОРБИКС-11 50-500 v0.8/1/19200/8O1/COM3";
    QTest::newRow("three digits of version") << 0 << 10 << 8.4f << 84.0f << 105 << 2 << "ОРБИКС-11 8.4-84.0 v1.05/1/19200/8N15/COM3";
    QTest::newRow("unknown device") << 1 << 0 << 0.0f << 0.0f << 0 << 3 << "Неизвестное устройство /1/19200/8N2/COM3";
    QTest::newRow("odd kind, odd format") << 5 << 2 << 5.0f << 50.0f << 40 << 9 << "5.0-50.0 v0.4/1/19200//COM3";
}

void TestDeviceInfo::displayText()
{
    QFETCH(int, kind);
    QFETCH(int, scale);
    QFETCH(float, minI);
    QFETCH(float, maxI);
    QFETCH(int, modification);
    QFETCH(int, format);
    QFETCH(QString, text);
    DeviceInfo d;
    d.kind = kind;
    d.address = 1;
    d.baudRate = 19200;
    d.frameFormat = format;
    d.portNumber = 3;
    d.modification = modification;
    d.currentScale = scale;
    d.minRatedCurrent = minI;
    d.maxRatedCurrent = maxI;
    QCOMPARE(d.displayText(), text);
}

void TestDeviceInfo::formatCodes()
{
    QCOMPARE(DeviceInfo::formatCode("8n15"), 2);
    QCOMPARE(DeviceInfo::formatCode("8N2"), 3);
    QCOMPARE(DeviceInfo::formatCode("1"), 1);
    QCOMPARE(DeviceInfo::formatCode("8N1"), -1);
    QCOMPARE(DeviceInfo::formatCode("4"), -1);
    QCOMPARE(DeviceInfo::formatLabel(1), QString("8O1"));
    QVERIFY(DeviceInfo::formatLabel(4).isEmpty());
}

QTEST_GUILESS_MAIN(TestDeviceInfo)
#include "tst_deviceinfo.moc"
