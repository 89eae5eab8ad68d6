// Work and crash logs, their records, and the application protocol entries.
#include "tests/device/packettestutil.h"

#include "device/appprotocoleventengine.h"
#include "device/crashprotocolevent.h"
#include "device/crashprotocolpacket.h"
#include "device/eventprotocolevent.h"
#include "device/faulttext.h"
#include "device/protocolpacketv50.h"

#include <QtTest>

#include <cmath>

namespace {

// Work record i at registers 140 + 3i (code) and 141 + 3i .. 142 + 3i (time).
bool setWorkRecord(DataPacket &p, int i, quint16 code, quint32 time)
{
    const quint32 reg = 140 + 3 * quint32(i);
    return setRegisters(p, {{reg, code}, {reg + 1, quint16(time)}, {reg + 2, quint16(time >> 16)}});
}

// Crash record i at registers 50 + 9i .. 58 + 9i.
bool setCrashRecord(DataPacket &p, int i, quint16 code, quint32 time, const quint16 (&currents)[3],
                    const quint16 (&voltages)[3])
{
    const quint32 reg = 50 + 9 * quint32(i);
    return setRegisters(p, {{reg, code}, {reg + 1, quint16(time)}, {reg + 2, quint16(time >> 16)},
                            {reg + 3, currents[0]}, {reg + 4, currents[1]}, {reg + 5, currents[2]},
                            {reg + 6, voltages[0]}, {reg + 7, voltages[1]}, {reg + 8, voltages[2]}});
}

const QString kStartWithPeak = QStringLiteral("Пуск двигателя (максимальная амплитуда тока при пуске ");

} // namespace

class TestLogs : public QObject
{
    Q_OBJECT

private slots:
    void workRecordsByIndex_data();
    void workRecordsByIndex();
    void workEntryText_data();
    void workEntryText();
    void startPeakWithZeroDivisor();
    void crashRecord_data();
    void crashRecord();
    void crashEntry();
    void faultTexts_data();
    void faultTexts();
    void applicationEntries_data();
    void applicationEntries();
};

void TestLogs::workRecordsByIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("first") << 0;
    QTest::newRow("last") << 9;
}

void TestLogs::workRecordsByIndex()
{
    QFETCH(int, index);
    ProtocolPacket p;
    QVERIFY(setWorkRecord(p, index, 2, 0x12345678));
    const auto record = p.event(index);
    QVERIFY(record);
    QCOMPARE(record->code, 2);
    QCOMPARE(record->time, 0x12345678u);
    QCOMPARE(record->version(), 0);
    QVERIFY(!p.event(10));
    QVERIFY(!p.event(-1));
}

void TestLogs::workEntryText_data()
{
    QTest::addColumn<bool>("v50");
    QTest::addColumn<quint16>("code");
    QTest::addColumn<quint16>("peak");
    QTest::addColumn<quint16>("divisor");
    QTest::addColumn<QString>("text");

    QTest::newRow("v50 start") << true << quint16(2) << quint16(1234) << quint16(10)
                               << QStringLiteral("Пуск двигателя (максимальная амплитуда тока при пуске 123.4А)");
    QTest::newRow("v50 start, one decimal") << true << quint16(2) << quint16(1000) << quint16(3)
                                            << kStartWithPeak + QStringLiteral("333.3А)");
    QTest::newRow("old start") << false << quint16(2) << quint16(1234) << quint16(10)
                               << QStringLiteral("Пуск двигателя");
    QTest::newRow("v50 stop") << true << quint16(1) << quint16(1234) << quint16(10)
                              << QStringLiteral("Остановка двигателя");
    QTest::newRow("old stop") << false << quint16(1) << quint16(0) << quint16(0)
                              << QStringLiteral("Остановка двигателя");
    QTest::newRow("unknown code") << true << quint16(5) << quint16(1234) << quint16(10) << QString();
}

void TestLogs::workEntryText()
{
    QFETCH(bool, v50);
    QFETCH(quint16, code);
    QFETCH(quint16, peak);
    QFETCH(quint16, divisor);
    QFETCH(QString, text);

    const int index = 4;
    std::unique_ptr<ProtocolPacket> p(v50 ? new ProtocolPacketV50 : new ProtocolPacket);
    QVERIFY(setWorkRecord(*p, index, code, 1700000000));
    if (v50)
        QVERIFY(setRegisters(*p, {{180 + index, peak}, {1, divisor}}));

    EventProtocolEvent entry(p->event(index));
    QCOMPARE(entry.text(), text);
    QCOMPARE(entry.kind(), int(ProtocolEvent::WorkLog));
    QCOMPARE(entry.data().version(), v50 ? 50 : 0);
    QCOMPARE(entry.time(), QDateTime::fromSecsSinceEpoch(1700000000));
}

void TestLogs::startPeakWithZeroDivisor()
{
    ProtocolPacketV50 p;
    QVERIFY(setWorkRecord(p, 0, 2, 1));
    QVERIFY(setRegisters(p, {{180, 1234}, {1, 0}}));

    QCOMPARE(p.startPeak(0), 0.0f);
    QCOMPARE(p.rawStartPeak(0), quint16(1234));
    QCOMPARE(p.peakDivisor(), quint16(0));
    EventProtocolEvent entry(p.event(0));
    QCOMPARE(entry.text(), kStartWithPeak + QStringLiteral("0.0А)"));
}

void TestLogs::crashRecord_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("scale");
    QTest::addColumn<double>("currentA");
    QTest::addColumn<double>("currentB");
    QTest::addColumn<double>("currentC");

    QTest::newRow("scale 10, first") << 0 << 10 << 12.5 << 13.0 << 12.8;
    QTest::newRow("scale 10, last") << 9 << 10 << 12.5 << 13.0 << 12.8;
    QTest::newRow("scale 1") << 3 << 1 << 125.0 << 130.0 << 128.0;
    QTest::newRow("scale 0 gives 0") << 3 << 0 << 0.0 << 0.0 << 0.0;
}

void TestLogs::crashRecord()
{
    QFETCH(int, index);
    QFETCH(int, scale);
    QFETCH(double, currentA);
    QFETCH(double, currentB);
    QFETCH(double, currentC);

    CrashProtocolPacket p(scale);
    QVERIFY(setCrashRecord(p, index, 30, 0x12345678, {125, 130, 128}, {380, 381, 379}));
    const CrashRecord r = p.record(index);
    QCOMPARE(r.code, 30);
    QCOMPARE(r.time, 0x12345678u);
    const double expected[] = {currentA, currentB, currentC};
    const quint16 raw[] = {125, 130, 128};
    const int volts[] = {380, 381, 379};
    for (int phase = 0; phase < 3; ++phase) {
        QVERIFY(std::isfinite(r.currents[phase]));
        QCOMPARE(r.currents[phase], expected[phase]);
        QCOMPARE(r.rawCurrents[phase], raw[phase]);
        QCOMPARE(r.voltages[phase], volts[phase]);
    }
    QCOMPARE(p.record(10).code, 0);
}

void TestLogs::crashEntry()
{
    CrashProtocolPacket p(10);
    QVERIFY(setCrashRecord(p, 2, 32, 1700000000, {125, 130, 128}, {380, 381, 379}));
    CrashProtocolEvent entry(p.record(2));
    QCOMPARE(entry.kind(), int(ProtocolEvent::CrashLog));
    QCOMPARE(entry.text(), QStringLiteral("Тепловая перегрузка двигателя"));
    QCOMPARE(entry.time(), QDateTime::fromSecsSinceEpoch(1700000000));
    QCOMPARE(entry.current(1), 13.0);
    QCOMPARE(entry.voltage(2), 379);
}

void TestLogs::faultTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << 0 << QString();
    QTest::newRow("71") << 71 << QString();
    QTest::newRow("10") << 10 << QStringLiteral("Перекос токов фаз");
    QTest::newRow("82") << 82 << QStringLiteral("Внешняя авария вход 2");
    // 60 and 61 spell the sensor in Cyrillic, 62 in Latin letters.
    QTest::newRow("60 Cyrillic") << 60 << QStringLiteral("Обрыв термодатчика \u0420\u0422\u0421");
    QTest::newRow("62 Latin") << 62 << QStringLiteral("Перегрев двигателя (по термодатчику PTC)");
}

void TestLogs::faultTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(faultText(code), text);
}

void TestLogs::applicationEntries_data()
{
    QTest::addColumn<bool>("engine");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("connected") << false << 0 << QStringLiteral("Подключение");
    QTest::newRow("link lost") << false << 1 << QStringLiteral("Связь потеряна");
    QTest::newRow("link restored") << false << 2 << QStringLiteral("Связь восстановлена");
    QTest::newRow("code 3 alone") << false << 3 << QString();
    QTest::newRow("settings written") << false << 4 << QStringLiteral("Настройки записаны");
    QTest::newRow("stop") << true << 0 << QStringLiteral("Послана команда остановки двигателя");
    QTest::newRow("forward") << true << 1 << QStringLiteral("Послана команда запуска двигателя вперёд");
    QTest::newRow("backward") << true << 2 << QStringLiteral("Послана команда запуска двигателя назад");
    QTest::newRow("command 7") << true << 7 << QString();
}

void TestLogs::applicationEntries()
{
    QFETCH(bool, engine);
    QFETCH(int, value);
    QFETCH(QString, text);

    const QDateTime before = QDateTime::currentDateTime();
    std::unique_ptr<AppProtocolEvent> entry(engine ? new AppProtocolEventEngine(EngineCommand(value))
                                                   : new AppProtocolEvent(value));
    QCOMPARE(entry->text(), text);
    QCOMPARE(entry->kind(), int(ProtocolEvent::Application));
    QCOMPARE(entry->code(), engine ? int(AppProtocolEvent::EngineCommandSent) : value);
    QVERIFY(entry->time() >= before && entry->time() <= QDateTime::currentDateTime());
}

QTEST_APPLESS_MAIN(TestLogs)
#include "tst_logs.moc"
