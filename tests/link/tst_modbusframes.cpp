// Frame building and CRC, checked against published Modbus RTU examples.
#include "link/rtuframing.h"

#include <QtTest>

class TestModbusFrames : public QObject
{
    Q_OBJECT

private slots:
    void crcOfKnownFrames_data();
    void crcOfKnownFrames();
    void checkCrcRejectsAnyFlippedBit();
    void requestFrames_data();
    void requestFrames();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

void TestModbusFrames::crcOfKnownFrames_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("crc");
    // Frames with their CRC as given in Modbus documentation and vendor manuals.
    QTest::newRow("read 10 from 1") << hex("01 03 00 00 00 0A") << hex("C5 CD");
    QTest::newRow("read 3 from 0x6B, slave 17") << hex("11 03 00 6B 00 03") << hex("76 87");
    QTest::newRow("write single") << hex("01 06 00 01 00 03") << hex("98 0B");
    QTest::newRow("write multiple") << hex("01 10 00 01 00 02 04 00 0A 01 02") << hex("92 30");
    QTest::newRow("read 1 from 1") << hex("01 03 00 00 00 01") << hex("84 0A");
}

void TestModbusFrames::crcOfKnownFrames()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, crc);
    QByteArray frame = body;
    RtuFraming::appendCrc(frame);
    QCOMPARE(frame.right(2).toHex(' '), crc.toHex(' '));
    QVERIFY(RtuFraming::checkCrc(reinterpret_cast<const quint8 *>(frame.constData()), frame.size()));
}

void TestModbusFrames::checkCrcRejectsAnyFlippedBit()
{
    QByteArray frame = hex("05 03 08 00 01 00 02 00 03 00 04");
    RtuFraming::appendCrc(frame);
    for (int bit = 0; bit < frame.size() * 8; ++bit) {
        QByteArray bad = frame;
        bad[bit / 8] = char(bad[bit / 8] ^ (1 << (bit % 8)));
        QVERIFY2(!RtuFraming::checkCrc(reinterpret_cast<const quint8 *>(bad.constData()), bad.size()),
                 qPrintable(QStringLiteral("bit %1").arg(bit)));
    }
    QVERIFY(!RtuFraming::checkCrc(reinterpret_cast<const quint8 *>(frame.constData()), 1));
}

void TestModbusFrames::requestFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("register 1 is address 0")
        << RtuFraming::readRequest(5, 1, 4) << hex("05 03 00 00 00 04");
    QTest::newRow("register 33 is address 0x20")
        << RtuFraming::readRequest(1, 33, 17) << hex("01 03 00 20 00 11");
    QTest::newRow("only the low 16 bits of the number")
        << RtuFraming::readRequest(1, 0x10001, 1) << hex("01 03 00 00 00 01");
    QTest::newRow("write single, value high byte first")
        << RtuFraming::writeSingleRequest(7, 32, 1234) << hex("07 06 00 1F 04 D2");
    const quint16 values[] = {2, 1};
    QTest::newRow("write multiple, byte count twice the registers")
        << RtuFraming::writeMultipleRequest(1, 48, values, 2) << hex("01 10 00 2F 00 02 04 00 02 00 01");
}

void TestModbusFrames::requestFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

QTEST_GUILESS_MAIN(TestModbusFrames)
#include "tst_modbusframes.moc"
