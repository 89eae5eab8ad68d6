// The application protocol: the device's two logs merged in without duplicates or
// empty slots, the program's own entries, newest first, and a log's entries removed.
#include "device/appprotocolevent.h"
#include "device/crashprotocolpacket.h"
#include "device/packetregisters.h"
#include "device/protocolevent.h"
#include "device/protocollist.h"
#include "device/protocolpacket.h"
#include "device/registermap.h"

#include <QtTest>

namespace {

void setRecord(DataPacket &log, quint32 first, int registersPerRecord, int i, quint16 code, quint32 time)
{
    const quint32 r = first + quint32(registersPerRecord * i);
    PacketRegisters::write(log, r, code);
    PacketRegisters::write(log, r + 1, quint16(time & 0xFFFF));
    PacketRegisters::write(log, r + 2, quint16(time >> 16));
}

void setWork(ProtocolPacket &log, int i, quint16 code, quint32 time)
{
    setRecord(log, RegisterMap::WorkLog, RegisterMap::kWorkRecordRegisters, i, code, time);
}

void setCrash(CrashProtocolPacket &log, int i, quint16 code, quint32 time)
{
    setRecord(log, RegisterMap::CrashLog, RegisterMap::kCrashRecordRegisters, i, code, time);
}

// "kind:seconds" of every entry, in list order.
QStringList entries(const ProtocolList &list)
{
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << QStringLiteral("%1:%2").arg(list.at(i).kind()).arg(list.at(i).time().toSecsSinceEpoch());
    return out;
}

} // namespace

class TestProtocolList : public QObject
{
    Q_OBJECT

private slots:
    void mergeAddsEachRecordOnce();
    void sameTimeOtherCodeIsAnotherRecord();
    void programEntriesSortAmongTheRecords();
    void removeKindKeepsTheOrderOfTheRest();
};

void TestProtocolList::mergeAddsEachRecordOnce()
{
    ProtocolPacket work;
    CrashProtocolPacket crash(2);
    setWork(work, 0, 2, 1700000000);
    setWork(work, 1, 1, 1700000500);
    setWork(work, 2, 0, 1700000900); // an empty slot
    setCrash(crash, 0, 5, 1700000300);
    setCrash(crash, 3, 0, 1700000400);
    ProtocolList list;
    QCOMPARE(list.merge(work, crash), 3);
    QCOMPARE(list.merge(work, crash), 0);
    QCOMPARE(entries(list), (QStringList {"1:1700000500", "2:1700000300", "1:1700000000"}));
    setWork(work, 2, 2, 1700000900);
    QCOMPARE(list.merge(work, crash), 1);
    QCOMPARE(entries(list).first(), QString("1:1700000900"));
}

void TestProtocolList::sameTimeOtherCodeIsAnotherRecord()
{
    ProtocolPacket work;
    CrashProtocolPacket crash(1);
    setWork(work, 0, 2, 1700000000);
    ProtocolList list;
    list.merge(work, crash);
    setWork(work, 1, 3, 1700000000);
    QCOMPARE(list.merge(work, crash), 1);
    QCOMPARE(list.size(), 2);
}

void TestProtocolList::programEntriesSortAmongTheRecords()
{
    ProtocolPacket work;
    CrashProtocolPacket crash(1);
    setWork(work, 0, 2, 1000000400);
    ProtocolList list;
    list.merge(work, crash);
    list.insert(std::make_unique<AppProtocolEvent>(AppProtocolEvent::Connected)); // stamped now: newest
    QCOMPARE(list.at(0).kind(), int(ProtocolEvent::Application));
    QCOMPARE(list.at(1).kind(), int(ProtocolEvent::WorkLog));
    list.clear();
    QVERIFY(list.isEmpty());
}

void TestProtocolList::removeKindKeepsTheOrderOfTheRest()
{
    ProtocolPacket work;
    CrashProtocolPacket crash(2);
    setWork(work, 0, 2, 1000000400);
    setWork(work, 1, 1, 1000000200);
    setCrash(crash, 0, 3, 1000000300);
    setCrash(crash, 1, 4, 1000000100);
    ProtocolList list;
    list.merge(work, crash);
    list.removeKind(ProtocolEvent::CrashLog);
    QCOMPARE(entries(list), (QStringList {"1:1000000400", "1:1000000200"}));
    list.merge(work, crash); // the crash records come back in their places
    list.removeKind(ProtocolEvent::WorkLog);
    QCOMPARE(entries(list), (QStringList {"2:1000000300", "2:1000000100"}));
}

QTEST_APPLESS_MAIN(TestProtocolList)
#include "tst_protocollist.moc"
