// Request lists executed on a real port: the order of the transactions, the access
// code before every guarded entry, where a failure stops a list, the running flag,
// and clones that own their values.
#include "link/modbusport.h"
#include "link/rtuframing.h"
#include "link/packetexecutor.h"
#include "link/tdatapacket.h"
#include "tests/link/scriptedslave.h"
#include "tests/testreplygap.h"

#include <QtTest>

namespace {

// Three entries of one register each, at registers 5, 6 and 7.
class ThreeRegisters : public DataPacket
{
public:
    ThreeRegisters()
    {
        for (int i = 0; i < 3; ++i)
            addRequest(&words[i], 2, quint32(5 + i));
    }
    ThreeRegisters *clone() const override
    {
        auto *c = new ThreeRegisters;
        std::copy(words, words + 3, c->words);
        return c;
    }
    quint16 words[3] = {0, 0, 0};
};

class EmptyPacket : public DataPacket
{
public:
    EmptyPacket *clone() const override { return new EmptyPacket; }
};

// A guard as the device's access code uses it: code 1234 to register 32.
PacketExecutor::Guard guard(quint16 code)
{
    return PacketExecutor::Guard {32, code};
}

// A device that acknowledges everything, except the requests whose index (from 0) is listed.
struct Device {
    QSet<int> silentAt;
    QSet<int> refuseAt;
    std::atomic<int> index {0};

    ScriptedSlave::Reply answer(const QByteArray &req)
    {
        const int i = index++;
        if (silentAt.contains(i))
            return {};
        const quint8 fn = quint8(req[1]);
        if (refuseAt.contains(i))
            return ScriptedSlave::withCrc(req.left(1) + char(fn | 0x80) + char(2));
        if (fn == 6)
            return ScriptedSlave::Reply {req};
        if (fn == 16)
            return ScriptedSlave::withCrc(req.left(6));
        const int count = quint8(req[5]);
        QByteArray r = req.left(2) + char(count * 2);
        for (int k = 0; k < count; ++k)
            r += QByteArray::fromHex("00") + char(10 * (i + 1) + k);
        return ScriptedSlave::withCrc(r);
    }
};

QString requestSummary(const QByteArray &frame)
{
    const int reg = (quint8(frame[2]) << 8 | quint8(frame[3])) + 1;
    return QStringLiteral("%1:%2").arg(quint8(frame[1])).arg(reg);
}

QStringList summaries(const ScriptedSlave &slave)
{
    QStringList out;
    for (const QByteArray &f : slave.requests())
        out << requestSummary(f);
    return out;
}

} // namespace

class TestPacketExecutor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void thirtyTwoBitValueGoesLowWordFirst();
    void guardedWriteSendsTheCodeBeforeEveryEntry();
    void failingEntryEndsTheWrite();
    void failingCodeWriteDoesNotStopTheList();
    void failingReadKeepsEarlierEntries();
    void emptyListAndClearedFlagSendNothing();
    void cloneKeepsItsOwnValues();

private:
    bool startDevice();
    Device device;
    ScriptedSlave slave;
    std::unique_ptr<ModbusPort> port;
};

void TestPacketExecutor::init()
{
    device.silentAt.clear();
    device.refuseAt.clear();
    device.index = 0;
}

void TestPacketExecutor::cleanup()
{
    port.reset();
    slave.stop();
}

bool TestPacketExecutor::startDevice()
{
    if (!slave.start([this](const QByteArray &r) { return device.answer(r); }))
        return false;
    port = std::make_unique<ModbusPort>(slave.path().toLocal8Bit());
    if (!port->open())
        return false;
    port->setSlaveAddress(1);
    port->setReadTimeout(400);
    port->setReplyGap(kTestReplyGapMs);
    return true;
}

void TestPacketExecutor::thirtyTwoBitValueGoesLowWordFirst()
{
    QVERIFY(startDevice());
    TDataPacket<unsigned int> clock(48);
    clock.value = 0x00010002;
    PacketExecutor exec(*port);
    QVERIFY(exec.writePacket(clock));
    QByteArray expected = QByteArray::fromHex("01 10 00 2F 00 02 04 00 02 00 01");
    RtuFraming::appendCrc(expected);
    QCOMPARE(slave.requests().value(0).toHex(' '), expected.toHex(' '));
}

void TestPacketExecutor::guardedWriteSendsTheCodeBeforeEveryEntry()
{
    QVERIFY(startDevice());
    ThreeRegisters p;
    PacketExecutor exec(*port);
    QVERIFY(exec.writePacket(p, guard(1234)));
    QCOMPARE(summaries(slave), (QStringList {"6:32", "16:5", "6:32", "16:6", "6:32", "16:7"}));
    QCOMPARE(slave.requests().value(0).mid(4, 2).toHex(), QByteArray("04d2"));
}

void TestPacketExecutor::failingEntryEndsTheWrite()
{
    device.refuseAt = {3}; // the second entry's write
    QVERIFY(startDevice());
    ThreeRegisters p;
    PacketExecutor exec(*port);
    QVERIFY(!exec.writePacket(p, guard(1234)));
    QCOMPARE(summaries(slave), (QStringList {"6:32", "16:5", "6:32", "16:6"}));
}

void TestPacketExecutor::failingCodeWriteDoesNotStopTheList()
{
    device.refuseAt = {0};
    QVERIFY(startDevice());
    ThreeRegisters p;
    PacketExecutor exec(*port);
    QVERIFY(exec.writePacket(p, guard(1)));
    QCOMPARE(slave.requests().size(), 6);
}

void TestPacketExecutor::failingReadKeepsEarlierEntries()
{
    device.silentAt = {1};
    QVERIFY(startDevice());
    ThreeRegisters p;
    p.words[1] = 77;
    p.words[2] = 88;
    PacketExecutor exec(*port);
    QVERIFY(!exec.readPacket(p));
    QCOMPARE(p.words[0], quint16(10)); // filled by the first answer
    QCOMPARE(p.words[1], quint16(77));
    QCOMPARE(p.words[2], quint16(88));
    QCOMPARE(summaries(slave), (QStringList {"3:5", "3:6"}));
}

void TestPacketExecutor::emptyListAndClearedFlagSendNothing()
{
    QVERIFY(startDevice());
    EmptyPacket empty;
    ThreeRegisters p;
    std::atomic<bool> running {true};
    PacketExecutor exec(*port, &running);
    QVERIFY(exec.readPacket(empty));
    QVERIFY(exec.writePacket(empty, guard(1)));
    running = false;
    QVERIFY(exec.readPacket(p));
    QVERIFY(exec.writePacket(p, guard(1)));
    QVERIFY(slave.requests().isEmpty());
}

void TestPacketExecutor::cloneKeepsItsOwnValues()
{
    QVERIFY(startDevice());
    ThreeRegisters block;
    PacketExecutor exec(*port);
    QVERIFY(exec.readPacket(block));
    std::unique_ptr<ThreeRegisters> copy(block.clone());
    QCOMPARE(copy->requests().size(), std::size_t(3));
    QCOMPARE(copy->requests()[1].buffer, static_cast<void *>(&copy->words[1]));
    QCOMPARE(copy->requests()[1].firstRegister, 6u);
    QCOMPARE(copy->requests()[1].byteCount, 2u);
    QVERIFY(exec.readPacket(block)); // the next read changes the original only
    QCOMPARE(copy->words[0], quint16(10));
    QCOMPARE(block.words[0], quint16(40));

    TDataPacket<unsigned short> command(31);
    command.value = 2;
    std::unique_ptr<TDataPacket<unsigned short>> c(command.clone());
    command.value = 0;
    QCOMPARE(c->value, quint16(2));
    QCOMPARE(c->requests()[0].buffer, static_cast<void *>(&c->value));
}

QTEST_GUILESS_MAIN(TestPacketExecutor)
#include "tst_packetexecutor.moc"
