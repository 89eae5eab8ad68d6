// What an identification answer tells: a recognised device and its rated range, or
// something else; whether it is the device expected; whether two read alike.
#include "device/deviceidentity.h"
#include "device/searchpacket.h"

#include <QtTest>

namespace {

SearchPacket answer(const QVector<int> &words)
{
    SearchPacket p;
    for (int i = 0; i < 4; ++i)
        p.words[i] = quint16(words[i]);
    return p;
}

} // namespace

class TestDeviceIdentity : public QObject
{
    Q_OBJECT

private slots:
    void recognition_data();
    void recognition();
    void sameDevice_data();
    void sameDevice();
    void sameModel_data();
    void sameModel();
};

// Words: scale, lowest and highest rated current in counts, modification.
void TestDeviceIdentity::recognition_data()
{
    QTest::addColumn<QVector<int>>("words");
    QTest::addColumn<int>("kind");
    QTest::addColumn<float>("minI");
    QTest::addColumn<float>("maxI");
    QTest::newRow("scale 1, 50 counts") << QVector<int> {1, 50, 500, 80} << 0 << 50.0f << 500.0f;
    QTest::newRow("50 counts needs scale 1") << QVector<int> {2, 50, 500, 80} << 1 << 0.0f << 0.0f;
    QTest::newRow("scale 2, 10 counts") << QVector<int> {2, 10, 100, 70} << 0 << 5.0f << 50.0f;
    QTest::newRow("84 counts") << QVector<int> {10, 84, 840, 60} << 0 << 8.4f << 84.0f;
    QTest::newRow("highest must be ten times") << QVector<int> {2, 10, 99, 70} << 1 << 0.0f << 0.0f;
    QTest::newRow("other lowest") << QVector<int> {2, 11, 110, 70} << 1 << 0.0f << 0.0f;
    QTest::newRow("scale 0 gives no infinity") << QVector<int> {0, 10, 100, 70} << 0 << 0.0f << 0.0f;
}

void TestDeviceIdentity::recognition()
{
    QFETCH(QVector<int>, words);
    QFETCH(int, kind);
    QFETCH(float, minI);
    QFETCH(float, maxI);
    const DeviceInfo d = DeviceIdentity::recognise(answer(words));
    QCOMPARE(d.kind, kind);
    QCOMPARE(d.minRatedCurrent, minI);
    QCOMPARE(d.maxRatedCurrent, maxI);
    QCOMPARE(d.modification, kind == 0 ? words[3] : 0);
    QCOMPARE(d.currentScale, kind == 0 ? words[0] : 0);
}

// Through the device's counts, so that a rated current a float cannot hold exactly
// (10 counts at 3 per ampere) still matches, while any other device does not.
void TestDeviceIdentity::sameDevice_data()
{
    QTest::addColumn<QVector<int>>("words");
    QTest::addColumn<bool>("same");
    QTest::newRow("the device") << QVector<int> {3, 10, 100, 70} << true;
    QTest::newRow("another modification") << QVector<int> {3, 10, 100, 80} << false;
    QTest::newRow("another scale") << QVector<int> {2, 10, 100, 70} << false;
    QTest::newRow("another lowest current") << QVector<int> {3, 11, 100, 70} << false;
    QTest::newRow("another highest current") << QVector<int> {3, 10, 110, 70} << false;
}

void TestDeviceIdentity::sameDevice()
{
    QFETCH(QVector<int>, words);
    QFETCH(bool, same);
    DeviceInfo expected;
    expected.modification = 70;
    expected.currentScale = 3;
    expected.minRatedCurrent = 10.0f / 3;
    expected.maxRatedCurrent = 100.0f / 3;
    QCOMPARE(DeviceIdentity::sameDevice(answer(words), expected), same);
    // What a search recognised from the device's own answer is the device itself.
    const SearchPacket own = answer(words);
    const DeviceInfo found = DeviceIdentity::recognise(own);
    if (found.kind == DeviceInfo::Recognised)
        QVERIFY(DeviceIdentity::sameDevice(own, found));
}

void TestDeviceIdentity::sameModel_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<int>("scale");
    QTest::addColumn<float>("minRated");
    QTest::addColumn<bool>("same");
    QTest::newRow("same model, another rated range") << 70 << 2 << 8.4f << true;
    QTest::newRow("another modification") << 80 << 2 << 5.0f << false;
    QTest::newRow("another scale") << 70 << 10 << 5.0f << false;
}

void TestDeviceIdentity::sameModel()
{
    QFETCH(int, modification);
    QFETCH(int, scale);
    QFETCH(float, minRated);
    QFETCH(bool, same);
    DeviceInfo a;
    a.modification = 70;
    a.currentScale = 2;
    a.minRatedCurrent = 5.0f;
    DeviceInfo b = a;
    b.modification = modification;
    b.currentScale = scale;
    b.minRatedCurrent = minRated;
    QCOMPARE(DeviceIdentity::sameModel(a, b), same);
    QCOMPARE(DeviceIdentity::sameModel(b, a), same);
}

QTEST_GUILESS_MAIN(TestDeviceIdentity)
#include "tst_deviceidentity.moc"
