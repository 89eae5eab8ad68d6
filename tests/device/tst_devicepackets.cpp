// Request lists by modification, and clone() of every block.
#include "tests/device/packettestutil.h"

#include "device/configpacketv70.h"
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/packetfactory.h"
#include "device/protocolpacketv50.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "device/watchdatapacket80.h"

#include <QtTest>

#include <functional>
#include <memory>
#include <typeinfo>

namespace {

struct BlockKind
{
    const char *name;
    std::function<DataPacket *()> make;
    std::size_t size;
};

template <typename T, typename... Args>
BlockKind kind(const char *name, Args... args)
{
    return {name, [=] { return new T(args...); }, sizeof(T)};
}

const BlockKind kBlocks[] = {
    kind<WatchDataPacket>("WatchDataPacket"),
    kind<WatchDataPacket80>("WatchDataPacket80"),
    kind<ProtocolPacket>("ProtocolPacket"),
    kind<ProtocolPacketV50>("ProtocolPacketV50"),
    kind<CrashProtocolPacket>("CrashProtocolPacket", 10),
    kind<ConfigPacket>("ConfigPacket"),
    kind<ConfigPacketV50>("ConfigPacketV50"),
    kind<ConfigPacketV70>("ConfigPacketV70"),
    kind<RunConfigPacket>("RunConfigPacket", 10),
    kind<RunConfigProgressPacket>("RunConfigProgressPacket"),
    kind<CrashOscillogramPacket>("CrashOscillogramPacket"),
};

const BlockKind &findBlock(const QString &name)
{
    for (const BlockKind &k : kBlocks) {
        if (name == QLatin1String(k.name))
            return k;
    }
    qFatal("no block %s", qPrintable(name));
}

quint16 firstPattern(quint32 reg) { return quint16(reg * 7 + 1); }
quint16 secondPattern(quint32 reg) { return quint16(~reg); }

} // namespace

class TestDevicePackets : public QObject
{
    Q_OBJECT

private slots:
    void requestListsByModification_data();
    void requestListsByModification();
    void fixedRequestLists_data();
    void fixedRequestLists();
    void cloneIsIndependent_data();
    void cloneIsIndependent();
    void cloneKeepsCurrentScale();
};

void TestDevicePackets::requestListsByModification_data()
{
    QTest::addColumn<int>("modification");
    QTest::addColumn<QString>("monitoring");
    QTest::addColumn<QString>("workLog");
    QTest::addColumn<QString>("configuration");
    QTest::addColumn<int>("configVersion");

    const QString watch = QStringLiteral("33:34 170:2");
    const QString watch80 = QStringLiteral("33:34 170:2 171:4");
    const QString log = QStringLiteral("140:60");
    const QString log50 = QStringLiteral("140:60 180:20 1:2");
    const QString config = QStringLiteral("5:50");
    const QString config50 = QStringLiteral("5:50 30:2");
    const QString config70 = QStringLiteral("5:50 30:2 190:4");
    QTest::newRow("49") << 49 << watch << log << config << 0;
    QTest::newRow("50") << 50 << watch << log50 << config50 << 50;
    QTest::newRow("69") << 69 << watch << log50 << config50 << 50;
    QTest::newRow("70") << 70 << watch << log50 << config70 << 70;
    QTest::newRow("79") << 79 << watch << log50 << config70 << 70;
    QTest::newRow("80") << 80 << watch80 << log50 << config70 << 70;
}

void TestDevicePackets::requestListsByModification()
{
    QFETCH(int, modification);
    QFETCH(QString, monitoring);
    QFETCH(QString, workLog);
    QFETCH(QString, configuration);
    QFETCH(int, configVersion);

    QCOMPARE(describeRequests(*PacketFactory::monitoring(modification)), monitoring);
    QCOMPARE(describeRequests(*PacketFactory::workProtocol(modification)), workLog);
    const auto config = PacketFactory::configuration(modification);
    QCOMPARE(describeRequests(*config), configuration);
    QCOMPARE(config->version(), configVersion);
}

void TestDevicePackets::fixedRequestLists_data()
{
    QTest::addColumn<QString>("requests");

    QTest::newRow("CrashProtocolPacket") << QStringLiteral("50:180");
    QTest::newRow("RunConfigPacket") << QStringLiteral("201:72");
    QTest::newRow("RunConfigProgressPacket") << QStringLiteral("199:12");
    QTest::newRow("CrashOscillogramPacket")
        << QStringLiteral("301:10 306:128 370:128 434:128 498:128 562:128 626:128");
}

void TestDevicePackets::fixedRequestLists()
{
    QFETCH(QString, requests);

    std::unique_ptr<DataPacket> packet(findBlock(QString::fromLatin1(QTest::currentDataTag())).make());
    QCOMPARE(describeRequests(*packet), requests);
}

void TestDevicePackets::cloneIsIndependent_data()
{
    QTest::addColumn<int>("block");
    for (int i = 0; i < int(std::size(kBlocks)); ++i)
        QTest::newRow(kBlocks[i].name) << i;
}

void TestDevicePackets::cloneIsIndependent()
{
    QFETCH(int, block);
    const BlockKind &kind = kBlocks[block];
    std::unique_ptr<DataPacket> original(kind.make());
    PacketRegisters::fill(*original, firstPattern);
    QVERIFY(entriesInside(*original, original.get(), kind.size));

    std::unique_ptr<DataPacket> copy(original->clone());
    QVERIFY(typeid(*copy) == typeid(*original));
    QCOMPARE(describeRequests(*copy), describeRequests(*original));
    QVERIFY(entriesInside(*copy, copy.get(), kind.size));

    PacketRegisters::fill(*original, secondPattern); // the next read
    for (const RegisterRequest &r : copy->requests()) {
        for (quint32 reg = r.firstRegister; reg < r.firstRegister + r.byteCount / 2; ++reg) {
            quint16 value = 0;
            QVERIFY(PacketRegisters::read(*copy, reg, value));
            QCOMPARE(value, firstPattern(reg));
        }
    }
}

void TestDevicePackets::cloneKeepsCurrentScale()
{
    CrashProtocolPacket crash(7);
    RunConfigPacket start(3);
    std::unique_ptr<CrashProtocolPacket> crashCopy(crash.clone());
    std::unique_ptr<RunConfigPacket> startCopy(start.clone());
    QCOMPARE(crashCopy->currentScale(), 7);
    QCOMPARE(startCopy->currentScale(), 3);
}

QTEST_APPLESS_MAIN(TestDevicePackets)
#include "tst_devicepackets.moc"
