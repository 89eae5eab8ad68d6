// How replies end and what the line does around them: replies ended by their length
// against the reply gap of the device documentation, bytes that come late, an
// adapter's echo, the link statistics and the masked access code.
#include "link/frameobserver.h"
#include "link/framerecord.h"
#include "link/modbusport.h"
#include "link/rtuframing.h"
#include "tests/link/scriptedslave.h"

#include <QtTest>

namespace {

constexpr int kRealGapMs = ModbusPort::kInterByteGapMs;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray withCrc(const char *text)
{
    QByteArray frame = hex(text);
    RtuFraming::appendCrc(frame);
    return frame;
}

// The reply to a read of one register (register 1 of slave 1): value 42.
const QByteArray kReadReply = withCrc("01 03 02 00 2A");

class Recorder : public FrameObserver
{
public:
    void onFrame(const FrameRecord &record) override { frames.append(record); }
    QList<FrameRecord> frames;
};

struct ScriptedLine {
    ScriptedSlave slave;
    std::unique_ptr<ModbusPort> port;

    bool start(ScriptedSlave::Handler handler, ModbusPort::Framing framing)
    {
        if (!slave.start(std::move(handler)))
            return false;
        port = std::make_unique<ModbusPort>(slave.path().toLocal8Bit());
        if (!port->open())
            return false;
        port->setSlaveAddress(1);
        port->setReadTimeout(1000);
        port->setFraming(framing);
        return true;
    }
    // Milliseconds one read of register 1 takes; value 0 when it failed.
    qint64 timedRead(quint16 &value)
    {
        QElapsedTimer t;
        t.start();
        value = 0;
        port->readRegisters(1, 2, &value);
        return t.elapsed();
    }
};

} // namespace

class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void silenceIsThreeAndAHalfCharacters();
    void replyLengthFromTheRequest_data();
    void replyLengthFromTheRequest();
    void completeReplyEndsEarly_data();
    void completeReplyEndsEarly();
    void firstRequestWaitsForAQuietLine();
    void bytesRightAfterTheReplyBelongToIt_data();
    void bytesRightAfterTheReplyBelongToIt();
    void lateBytesAreDroppedBeforeTheNextRequest();
    void gapFramingDropsNothing();
    void echoingLineWorks_data();
    void echoingLineWorks();
    void statisticsCountEachEnding();
    void accessCodeIsMasked();
};

void TestFraming::silenceIsThreeAndAHalfCharacters()
{
    QCOMPARE(RtuFraming::bitsPerCharacter(true, 1), 11);
    QCOMPARE(RtuFraming::bitsPerCharacter(false, 2), 11);
    QCOMPARE(RtuFraming::silenceUs(19200, 11), 2006);  // 3.5 x 11 bits at 19200 bit/s
    QCOMPARE(RtuFraming::silenceUs(600, 11), 64167);
    QCOMPARE(RtuFraming::silenceUs(57600, 11), 1750);  // the floor of fast lines
}

void TestFraming::replyLengthFromTheRequest_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("echoPossible");
    QTest::addColumn<int>("length");
    const QByteArray read17 = withCrc("01 03 00 20 00 11");
    const QByteArray write1 = withCrc("01 06 00 1F 04 D2");
    QTest::newRow("read: 5 + 2n") << read17 << hex("01 03 22") << true << 5 + 34;
    QTest::newRow("one byte tells nothing") << read17 << hex("01") << true << 0;
    QTest::newRow("exception") << read17 << hex("01 83") << true << 5;
    QTest::newRow("write echo") << write1 << hex("01 06") << false << 8;
    QTest::newRow("an echo so far") << read17 << read17.left(5) << true << 0;
    QTest::newRow("echo, then the reply") << read17 << read17 + hex("01 03") << true << 8 + 39;
    QTest::newRow("echo, then an exception") << read17 << read17 + hex("01 83") << true << 8 + 5;
    QTest::newRow("a write's copy is its reply") << write1 << write1 << false << 8;
}

void TestFraming::replyLengthFromTheRequest()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, echoPossible);
    QTEST(int(RtuFraming::replyLength(request, reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size(),
                                      echoPossible)),
          "length");
}

void TestFraming::completeReplyEndsEarly_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("least");
    QTest::addColumn<int>("most");
    QTest::newRow("length") << int(ModbusPort::Framing::Length) << 0 << kRealGapMs / 2;
    QTest::newRow("gap") << int(ModbusPort::Framing::Gap) << kRealGapMs << 3 * kRealGapMs;
}

void TestFraming::completeReplyEndsEarly()
{
    QFETCH(int, framing);
    ScriptedLine line;
    QVERIFY(line.start([](const QByteArray &) { return ScriptedSlave::Reply {kReadReply}; },
                       ModbusPort::Framing(framing)));
    quint16 value = 0;
    line.timedRead(value); // the first request after opening waits for a quiet line
    const qint64 ms = line.timedRead(value);
    QCOMPARE(value, quint16(42));
    QFETCH(int, least);
    QFETCH(int, most);
    QVERIFY2(ms >= least && ms < most, qPrintable(QString::number(ms)));
}

// The first request after opening waits a few characters of silence, not a reply
// gap: a one-shot command is as quick as its one transaction. (A line that keeps
// talking is still given up on: tst_hostileline.)
void TestFraming::firstRequestWaitsForAQuietLine()
{
    ScriptedLine line;
    QVERIFY(line.start([](const QByteArray &) { return ScriptedSlave::Reply {kReadReply}; },
                       ModbusPort::Framing::Length));
    quint16 value = 0;
    const qint64 first = line.timedRead(value);
    QVERIFY2(first < kRealGapMs / 2, qPrintable(QString::number(first)));
    QCOMPARE(value, quint16(42));
}

// A byte that follows within the frame's silence (or, with the gap, within 250 ms)
// is part of the reply: the frame is too long and its CRC fails, as always.
void TestFraming::bytesRightAfterTheReplyBelongToIt_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("pauseMs");
    QTest::newRow("length, no pause") << int(ModbusPort::Framing::Length) << 0;
    QTest::newRow("gap, 100 ms") << int(ModbusPort::Framing::Gap) << 100;
}

void TestFraming::bytesRightAfterTheReplyBelongToIt()
{
    QFETCH(int, framing);
    QFETCH(int, pauseMs);
    ScriptedLine line;
    const ScriptedSlave::Reply reply {kReadReply + hex("55"), int(kReadReply.size()), pauseMs};
    QVERIFY(line.start([reply](const QByteArray &) { return reply; }, ModbusPort::Framing(framing)));
    quint16 value = 0;
    QVERIFY(!line.port->readRegisters(1, 2, &value));
    QCOMPARE(line.port->failure(), ModbusPort::Failure::CrcError);
}

void TestFraming::lateBytesAreDroppedBeforeTheNextRequest()
{
    ScriptedLine line;
    const ScriptedSlave::Reply reply {kReadReply + hex("55 AA"), int(kReadReply.size()), 60};
    QVERIFY(line.start([reply](const QByteArray &) { return reply; }, ModbusPort::Framing::Length));
    Recorder recorder;
    line.port->setObserver(&recorder);
    quint16 value = 0;
    QVERIFY2(line.port->readRegisters(1, 2, &value), qPrintable(line.port->errorString()));
    QVERIFY(QTest::qWaitFor([&] { return line.slave.repliesSent() == 1; }, 1000)); // the tail is out
    value = 0;
    QVERIFY2(line.port->readRegisters(1, 2, &value), qPrintable(line.port->errorString()));
    QCOMPARE(value, quint16(42));
    QVERIFY(line.port->statistics().discardedBytes >= 2);
    const auto dropped = std::find_if(recorder.frames.begin(), recorder.frames.end(),
                                      [](const FrameRecord &r) { return r.direction == FrameRecord::Discarded; });
    QVERIFY(dropped != recorder.frames.end());
    QCOMPARE(dropped->bytes, hex("55 AA"));
    line.port->setObserver(nullptr);
}

// The device documentation's own framing: nothing is dropped, so a tail that comes
// after the reply gap spoils the next transaction.
void TestFraming::gapFramingDropsNothing()
{
    ScriptedLine line;
    const ScriptedSlave::Reply first {kReadReply + hex("55"), int(kReadReply.size()), 100};
    std::atomic<int> calls {0};
    QVERIFY(line.start([&calls, first](const QByteArray &) {
                return calls++ == 0 ? first : ScriptedSlave::Reply {kReadReply};
            },
            ModbusPort::Framing::Gap));
    line.port->setReplyGap(50); // the tail comes after the gap that ended the reply
    quint16 value = 0;
    QVERIFY2(line.port->readRegisters(1, 2, &value), qPrintable(line.port->errorString()));
    QVERIFY(QTest::qWaitFor([&] { return line.slave.repliesSent() == 1; }, 1000)); // the tail is out
    QVERIFY(!line.port->readRegisters(1, 2, &value)); // the tail leads the second reply
    QCOMPARE(line.port->failure(), ModbusPort::Failure::WrongAddress);
    QCOMPARE(line.port->statistics().discardedBytes, quint64(0));
}

void TestFraming::echoingLineWorks_data()
{
    QTest::addColumn<int>("framing");
    QTest::newRow("length") << int(ModbusPort::Framing::Length);
    QTest::newRow("gap") << int(ModbusPort::Framing::Gap);
}

// An adapter that hears itself: each request comes back before the reply.
void TestFraming::echoingLineWorks()
{
    QFETCH(int, framing);
    ScriptedLine line;
    QVERIFY(line.start([](const QByteArray &request) {
                const quint8 function = quint8(request[1]);
                const QByteArray answer = function == 3    ? kReadReply
                                          : function == 16 ? withCrc("01 10 00 04 00 01")
                                                           : request; // a write-single's reply is its copy
                return ScriptedSlave::Reply {request + answer, int(request.size()), 5};
            },
            ModbusPort::Framing(framing)));
    quint16 value = 0;
    QVERIFY2(line.port->readRegisters(1, 2, &value), qPrintable(line.port->errorString()));
    QCOMPARE(value, quint16(42));
    QVERIFY(line.port->lineEchoes());
    QVERIFY2(line.port->writeRegister(32, 1234), qPrintable(line.port->errorString()));
    const quint16 word = 7;
    QVERIFY2(line.port->writeRegisters(5, 2, &word), qPrintable(line.port->errorString()));
    QCOMPARE(line.port->statistics().echoesSkipped, quint64(3));
    QCOMPARE(line.port->statistics().discardedBytes, quint64(0));
}

void TestFraming::statisticsCountEachEnding()
{
    ScriptedLine line;
    int call = 0;
    QVERIFY(line.start([&call](const QByteArray &) {
                switch (call++) {
                case 0: return ScriptedSlave::Reply {kReadReply};
                case 1: return ScriptedSlave::Reply {withCrc("01 83 02")};
                case 2: return ScriptedSlave::Reply {hex("01 03 02 00 2A 00 00")};
                case 3: return ScriptedSlave::Reply {withCrc("02 03 02 00 2A")};
                default: return ScriptedSlave::Reply {};
                }
            },
            ModbusPort::Framing::Length));
    line.port->setReadTimeout(100);
    quint16 value = 0;
    for (int i = 0; i < 5; ++i)
        line.port->readRegisters(1, 2, &value);
    const LinkStatistics &s = line.port->statistics();
    QCOMPARE(s.requests, quint64(5));
    QCOMPARE(s.replies, quint64(2)); // the sound one and the exception
    QCOMPARE(s.exceptions, quint64(1));
    QCOMPARE(s.crcErrors, quint64(1));
    QCOMPARE(s.wrongAddress, quint64(1));
    QCOMPARE(s.timeouts, quint64(1));
    QVERIFY(s.maxResponseUs > 0 && s.meanResponseMs() > 0.0);
    QVERIFY(s.maxResponseUs >= s.totalResponseUs / 2);
}

// A 4-digit code is found again from its CRC at once: value and CRC never show.
void TestFraming::accessCodeIsMasked()
{
    ScriptedLine line;
    QVERIFY(line.start([](const QByteArray &request) { return ScriptedSlave::Reply {request}; },
                       ModbusPort::Framing::Length));
    Recorder recorder;
    line.port->setObserver(&recorder);
    line.port->setMaskedRegister(32);
    QVERIFY(line.port->writeRegister(32, 1234));
    QVERIFY(line.port->writeRegister(31, 1)); // another register: shown
    line.port->setObserver(nullptr);
    QCOMPARE(recorder.frames.size(), 4);
    QCOMPARE(recorder.frames[0].hex(), QString("01 06 00 1f ** ** ** **"));
    QCOMPARE(recorder.frames[1].hex(), QString("01 06 00 1f ** ** ** **")); // the device's echo repeats it
    QVERIFY(!recorder.frames[0].bytes.contains(hex("04 d2")));
    QCOMPARE(recorder.frames[2].hex(), QString::fromLatin1(withCrc("01 06 00 1E 00 01").toHex(' ')));
}

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
