// The stored block of a crash oscillogram: the packet's registers in request order,
// read back into a packet; a block of another size is refused
// and changes nothing.
#include "device/crashoscillogrampacket.h"
#include "history/oscillogramblock.h"

#include <QtTest>

class TestOscillogramBlock : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip();
};

void TestOscillogramBlock::roundTrip()
{
    CrashOscillogramPacket packet;
    const QByteArray block = OscillogramBlock::encode(packet);
    QCOMPARE(block.size(), 2 * (5 + 6 * 64));
    QByteArray changed = block;
    changed[0] = 0x12;
    changed[4] = 31; // fault code word
    changed[block.size() - 2] = char(0xfe);
    QVERIFY(OscillogramBlock::decode(changed, packet));
    QCOMPARE(packet.faultCode(), quint16(31));
    QCOMPARE(packet.tripTime() & 0xff, 0x12u);
    QCOMPARE(OscillogramBlock::encode(packet), changed);
    QVERIFY(!OscillogramBlock::decode(changed.left(10), packet));
    QCOMPARE(OscillogramBlock::encode(packet), changed); // a refused block leaves the packet alone
}

QTEST_GUILESS_MAIN(TestOscillogramBlock)
#include "tst_oscillogramblock.moc"
