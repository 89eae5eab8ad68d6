// The device list and the last connection as read back: whole records that are a
// device, in file order; a record of other bytes (a damaged or foreign file) is left
// out without losing the records after it.
#include "storage/devicerecordfile.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
DeviceInfo recognised(int address)
{
    DeviceInfo d;
    d.address = address;
    d.baudRate = 19200;
    d.portNumber = 3;
    d.modification = 70;
    d.currentScale = 2;
    d.minRatedCurrent = 5.0f;
    d.maxRatedCurrent = 50.0f;
    return d;
}
} // namespace

class TestDeviceRecordFile : public QObject
{
    Q_OBJECT

private slots:
    void refusesWhatIsNoDevice_data();
    void refusesWhatIsNoDevice();
    void goodRecordsAroundABadOneStay();
};

void TestDeviceRecordFile::refusesWhatIsNoDevice_data()
{
    QTest::addColumn<int>("field"); // 0 kind, 1 address, 2 speed, 3 format, 4 and 5 the currents
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("device");
    QTest::newRow("as found") << 1 << 247.0 << true;
    QTest::newRow("unknown device") << 0 << 1.0 << true;
    QTest::newRow("kind 2") << 0 << 2.0 << false;
    QTest::newRow("kind -1") << 0 << -1.0 << false;
    QTest::newRow("address 0") << 1 << 0.0 << false;
    QTest::newRow("address 248") << 1 << 248.0 << false;
    QTest::newRow("speed 14400") << 2 << 14400.0 << true;
    QTest::newRow("speed 19201") << 2 << 19201.0 << false;
    QTest::newRow("format 8N2") << 3 << 3.0 << true;
    QTest::newRow("format 4") << 3 << 4.0 << false;
    QTest::newRow("format -1") << 3 << -1.0 << false;
    QTest::newRow("current NaN") << 4 << double(std::numeric_limits<float>::quiet_NaN()) << false;
    QTest::newRow("current infinite") << 5 << double(std::numeric_limits<float>::infinity()) << false;
}

void TestDeviceRecordFile::refusesWhatIsNoDevice()
{
    QFETCH(int, field);
    QFETCH(double, value);
    QFETCH(bool, device);
    DeviceInfo d = recognised(1);
    qint32 *ints[] = {&d.kind, &d.address, &d.baudRate, &d.frameFormat};
    if (field < 4)
        *ints[field] = qint32(value);
    else
        (field == 4 ? d.minRatedCurrent : d.maxRatedCurrent) = float(value);
    QCOMPARE(DeviceRecordFile::isDevice(d), device);

    QTemporaryDir dir;
    const QString path = dir.filePath("device_list.dat");
    QVERIFY(DeviceRecordFile::save(path, {d}));
    QCOMPARE(DeviceRecordFile::load(path).size(), device ? 1 : 0);
}

void TestDeviceRecordFile::goodRecordsAroundABadOneStay()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("device_list.dat");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(recognised(1).toRecord());
    f.write(QByteArray(DeviceInfo::kRecordSize, '\x9c')); // no device at all
    f.write(recognised(2).toRecord());
    f.write(QByteArray(8, '\x01')); // a partial record
    f.close();
    const QVector<DeviceInfo> loaded = DeviceRecordFile::load(path);
    QCOMPARE(loaded.size(), 2);
    QCOMPARE(loaded[0].address, 1);
    QCOMPARE(loaded[1].address, 2);
    QCOMPARE(loaded[1].toRecord(), recognised(2).toRecord());
}

QTEST_GUILESS_MAIN(TestDeviceRecordFile)
#include "tst_devicerecordfile.moc"
