// ModbusPort on a pseudo-terminal against a scripted peer: the exact bytes on the
// wire, how each kind of reply is judged (malformed ones included), the read
// timing, the line settings, exclusive use and the frame trace.
#include "link/custombaud.h"
#include "link/modbusport.h"
#include "link/rtuframing.h"
#include "link/serialline.h"
#include "tests/link/scriptedslave.h"
#include "tests/testreplygap.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <thread>

Q_DECLARE_METATYPE(ModbusPort::Failure)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

ScriptedSlave::Reply crc(const char *text)
{
    return ScriptedSlave::withCrc(hex(text));
}

ScriptedSlave::Reply raw(const char *text)
{
    return ScriptedSlave::Reply {hex(text)};
}

QStringList traced;
void captureTrace(QtMsgType, const QMessageLogContext &ctx, const QString &msg)
{
    if (QByteArray(ctx.category) == "orbix.link.frames")
        traced << msg;
}

} // namespace

class TestModbusPort : public QObject
{
    Q_OBJECT

private slots:
    void readSendsFrameAndDecodesValues();
    void judging_data();
    void judging();
    void slaveAddressZeroAcceptsAnyAnswer();
    void noAnswerWaitsForTheReadTimeout();
    void gapOfSilenceEndsTheReply();
    void replyCutByTheReadTimeoutIsATimeout();
    void clearedRunningFlagEndsAWaitWithoutTimeout();
    void countsOutsideTheProtocolAreNotSent();
    void frameFormatsReachTheLine();
    void secondOpenOfTheSameLineFails();
    void closedPortFails();
    void openFailuresAreExplained();
    void rs485OptionReachesTheLine();
    void framesAreTracedWhenEnabled();

private:
    bool startSlave(ScriptedSlave &slave, ScriptedSlave::Handler h);
};

bool TestModbusPort::startSlave(ScriptedSlave &slave, ScriptedSlave::Handler h)
{
    return slave.start(std::move(h));
}

void TestModbusPort::readSendsFrameAndDecodesValues()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return crc("05 03 08 00 01 00 02 00 03 FF FF"); }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    port.setSlaveAddress(5);
    port.setReadTimeout(1000);
    port.setReplyGap(kTestReplyGapMs);
    quint16 values[4] = {};
    QVERIFY2(port.readRegisters(1, 8, values), qPrintable(port.errorString()));
    QCOMPARE(values[0], quint16(1));
    QCOMPARE(values[2], quint16(3));
    QCOMPARE(values[3], quint16(0xFFFF)); // 0xFF survives the tty layer's escaping
    QByteArray expected = hex("05 03 00 00 00 04");
    RtuFraming::appendCrc(expected);
    QCOMPARE(slave.requests().value(0).toHex(' '), expected.toHex(' '));
    QCOMPARE(port.failure(), ModbusPort::Failure::None);
}

void TestModbusPort::judging_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<ModbusPort::Failure>("failure");
    QTest::addColumn<int>("exception");
    using F = ModbusPort::Failure;
    auto row = [](const char *name, int fn, const ScriptedSlave::Reply &r, bool ok, F f, int e) {
        QTest::newRow(name) << fn << r.bytes << ok << f << e;
    };
    row("read: another slave", 3, crc("06 03 08 00 01 00 02 00 03 00 04"), false, F::WrongAddress, 0);
    row("read: exception 2", 3, crc("05 83 02"), false, F::Exception, 2);
    row("read: bad CRC", 3, raw("05 03 08 00 01 00 02 00 03 00 04 00 00"), false, F::CrcError, 255);
    row("read: one byte", 3, raw("05"), false, F::ShortReply, 255);
    row("read: three bytes", 3, raw("05 03 08"), false, F::ShortReply, 255);
    row("read: fewer values than asked", 3, crc("05 03 04 00 01 00 02"), false, F::ShortReply, 255);
    row("read: byte count claims 255", 3, crc("05 03 FF 00 01 00 02 00 03 00 04 00 05 00 06"), true, F::None, 0);
    row("read: exception frame without code", 3, crc("05 83"), false, F::ShortReply, 255);
    row("write single: echo", 6, crc("05 06 00 1F 04 D2"), true, F::None, 0);
    row("write single: value differs", 6, crc("05 06 00 1F 04 D3"), false, F::EchoMismatch, 0);
    row("write single: exception", 6, crc("05 86 03"), false, F::Exception, 3);
    row("write single: too short for the echo", 6, crc("05 06 00"), false, F::ShortReply, 255);
    row("write multiple: acknowledged", 16, crc("05 10 00 1F 00 02"), true, F::None, 0);
    row("write multiple: exception", 16, crc("05 90 04"), false, F::Exception, 4);
    row("write multiple: bad CRC", 16, raw("05 10 00 1F 00 02 00 00"), false, F::CrcError, 255);
}

void TestModbusPort::judging()
{
    QFETCH(int, function);
    QFETCH(QByteArray, reply);
    QFETCH(bool, ok);
    QFETCH(ModbusPort::Failure, failure);
    QFETCH(int, exception);
    ScriptedSlave slave;
    QVERIFY(slave.start([reply](const QByteArray &) { return ScriptedSlave::Reply {reply}; }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    port.setSlaveAddress(5);
    port.setReadTimeout(1000);
    port.setReplyGap(kTestReplyGapMs);
    quint16 buffer[6] = {0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA, 0xAAAA};
    const quint16 values[2] = {1234, 1};
    bool result = false;
    if (function == 3)
        result = port.readRegisters(1, 8, buffer);
    else if (function == 6)
        result = port.writeRegister(32, 1234);
    else
        result = port.writeRegisters(32, 4, values);
    QCOMPARE(result, ok);
    QCOMPARE(port.failure(), failure);
    QCOMPARE(port.exception(), exception);
    QCOMPARE(port.lineErrors(), 0u);
    // Never more than was asked for reaches the caller, and nothing on failure.
    QCOMPARE(buffer[4], quint16(0xAAAA));
    if (function == 3 && !ok)
        QCOMPARE(buffer[0], quint16(0xAAAA));
}

void TestModbusPort::slaveAddressZeroAcceptsAnyAnswer()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return crc("2A 03 02 12 34"); }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    port.setSlaveAddress(0);
    port.setReadTimeout(1000);
    port.setReplyGap(kTestReplyGapMs);
    quint16 v = 0;
    QVERIFY(port.readRegisters(7, 2, &v));
    QCOMPARE(v, quint16(0x1234));
}

void TestModbusPort::noAnswerWaitsForTheReadTimeout()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return ScriptedSlave::Reply {}; }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    port.setSlaveAddress(1);
    port.setReadTimeout(300);
    QElapsedTimer t;
    t.start();
    quint16 v = 7;
    QVERIFY(!port.readRegisters(1, 2, &v));
    QVERIFY2(t.elapsed() >= 290, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(port.failure(), ModbusPort::Failure::NoAnswer);
    QCOMPARE(port.systemError(), ETIMEDOUT);
    QCOMPARE(v, quint16(7));
}

void TestModbusPort::gapOfSilenceEndsTheReply()
{
    ScriptedSlave::Reply reply = crc("01 03 02 00 2A");
    reply.pauseAfter = 3;
    for (const int pauseMs : {100, 400}) {
        reply.pauseMs = pauseMs;
        ScriptedSlave slave;
        QVERIFY(slave.start([reply](const QByteArray &) { return reply; }));
        ModbusPort port(slave.path().toLocal8Bit());
        QVERIFY(port.open());
        port.setSlaveAddress(1);
        port.setReadTimeout(1900);
        quint16 v = 0;
        const bool ok = port.readRegisters(1, 2, &v);
        if (pauseMs < ModbusPort::kInterByteGapMs) {
            QVERIFY2(ok, qPrintable(port.errorString()));
            QCOMPARE(v, quint16(42));
        } else {
            QVERIFY(!ok); // the 250 ms gap ended the reply after three bytes
            QCOMPARE(port.failure(), ModbusPort::Failure::ShortReply);
        }
    }
}

// A reply still coming when the read time-out ends it (a slow line) is an incomplete
// reply, a time-out: never a CRC error, which would send the user to the wiring.
void TestModbusPort::replyCutByTheReadTimeoutIsATimeout()
{
    ScriptedSlave::Reply reply = crc("01 03 04 00 2A 00 2B");
    reply.pauseAfter = 5;
    reply.pauseMs = 500;
    ScriptedSlave slave;
    QVERIFY(slave.start([reply](const QByteArray &) { return reply; }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    port.setSlaveAddress(1);
    port.setReplyGap(1000); // longer than the time-out: only the time-out ends the read
    port.setReadTimeout(200);
    quint16 v[2] = {7, 7};
    QVERIFY(!port.readRegisters(1, 4, v));
    QCOMPARE(port.failure(), ModbusPort::Failure::NoAnswer);
    QVERIFY(port.replyCut());
    QCOMPARE(port.errorString(), QString("incomplete reply: 5 of 9 bytes before the time-out"));
    QCOMPARE(port.statistics().timeouts, quint64(1));
    QCOMPARE(port.statistics().crcErrors, quint64(0));
    QCOMPARE(v[0], quint16(7));
}

void TestModbusPort::clearedRunningFlagEndsAWaitWithoutTimeout()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return ScriptedSlave::Reply {}; }));
    ModbusPort port(slave.path().toLocal8Bit());
    std::atomic<bool> running {true};
    port.setRunningFlag(&running);
    QVERIFY(port.open()); // read time-out 0: no limit of its own
    port.setSlaveAddress(1);
    // The user presses stop once the request is on the line and the port waits.
    std::atomic<qint64> stoppedAt {0};
    QElapsedTimer clock;
    clock.start();
    std::thread stopper([&] {
        while (slave.requests().isEmpty() && clock.elapsed() < 5000)
            std::this_thread::yield();
        stoppedAt = clock.elapsed();
        running = false;
    });
    quint16 v = 0;
    const bool ok = port.readRegisters(1, 2, &v);
    const qint64 returnedAt = clock.elapsed();
    stopper.join();
    QVERIFY(!ok);
    QCOMPARE(port.failure(), ModbusPort::Failure::Cancelled);
    // The wait looks at the flag every 50 ms; without it the read would never end.
    QVERIFY2(returnedAt - stoppedAt < 3 * 3 * Line::kStopCheckMs, qPrintable(QString::number(returnedAt - stoppedAt)));
}

void TestModbusPort::countsOutsideTheProtocolAreNotSent()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return ScriptedSlave::Reply {}; }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    QVector<quint16> buf(130);
    QVERIFY(!port.readRegisters(1, 0, buf.data()));
    QCOMPARE(port.failure(), ModbusPort::Failure::BadRequest);
    QVERIFY(!port.readRegisters(1, 2 * 126, buf.data()));
    QVERIFY(!port.writeRegisters(1, 2 * 124, buf.data()));
    QCOMPARE(port.failure(), ModbusPort::Failure::BadRequest);
    QVERIFY(slave.requests().isEmpty());
}

void TestModbusPort::frameFormatsReachTheLine()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return ScriptedSlave::Reply {}; }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    const QByteArray path = slave.path().toLocal8Bit();
    auto lineFlags = [&path]() {
        const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        termios t {};
        tcgetattr(fd, &t);
        ::close(fd);
        return t;
    };
    struct Case { int code; bool odd; bool twoStop; };
    for (const Case c : {Case {1, true, false}, Case {2, false, true}, Case {3, false, true}, Case {0, false, false}}) {
        QVERIFY(port.setFrameFormat(c.code)); // a pty refuses parity; that is not a failure
        const termios t = lineFlags();
        QCOMPARE(bool(t.c_cflag & PARODD), c.odd);
        QCOMPARE(bool(t.c_cflag & CSTOPB), c.twoStop);
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    }
    QVERIFY(port.setFrameFormat(1));
    QVERIFY(port.setFrameFormat(9)); // unknown code: recorded, line left as it was
    QCOMPARE(port.frameFormat(), 9);
    QVERIFY(lineFlags().c_cflag & PARODD);
    QVERIFY(port.setSpeed(9600));
    QCOMPARE(cfgetospeed(&static_cast<const termios &>(lineFlags())), speed_t(B9600));
    // 14400 has no termios constant: set exactly, and kept when the format changes.
    const auto lineBaud = [&path] {
        const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        const quint32 baud = CustomBaud::read(fd);
        ::close(fd);
        return baud;
    };
    if (lineBaud() == 0) // the line is at 9600 (above)
        QSKIP("no termios2 ioctls here (qemu-user 7.2 passes none on): no speed without a termios constant");
    QVERIFY(port.setSpeed(14400));
    QCOMPARE(lineBaud(), 14400u);
    QVERIFY(port.setFrameFormat(0));
    QCOMPARE(lineBaud(), 14400u);
    QVERIFY(port.setSpeed(19200));
    QCOMPARE(lineBaud(), 19200u);
}

void TestModbusPort::secondOpenOfTheSameLineFails()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return ScriptedSlave::Reply {}; }));
    ModbusPort first(slave.path().toLocal8Bit());
    ModbusPort second(slave.path().toLocal8Bit());
    QVERIFY(first.open());
    QVERIFY(!second.open());
    QCOMPARE(second.systemError(), EBUSY);
    QVERIFY(second.errorString().contains(QStringLiteral("in use")));
    first.close();
    QVERIFY(second.open());
}

void TestModbusPort::closedPortFails()
{
    ModbusPort port("/dev/null");
    quint16 v = 0;
    QVERIFY(!port.readRegisters(1, 2, &v));
    QCOMPARE(port.failure(), ModbusPort::Failure::NotOpen);
    QCOMPARE(port.systemError(), EBADF);
    QVERIFY(!port.writeRegister(31, 1));
    QCOMPARE(port.systemError(), EBADF);
}

void TestModbusPort::openFailuresAreExplained()
{
    ModbusPort missing("/dev/orbix-no-such-port");
    QVERIFY(!missing.open());
    QCOMPARE(missing.systemError(), ENOENT);
    QCOMPARE(missing.failure(), ModbusPort::Failure::NotOpen);
    QVERIFY(missing.errorString().contains(QStringLiteral("does not exist")));

    ModbusPort notTty("/dev/null");
    QVERIFY(!notTty.open());
    QCOMPARE(notTty.systemError(), ENOTTY);

    // Permission is judged by the kernel (root is never refused), so the text is checked directly.
    QTemporaryFile file;
    QVERIFY(file.open());
    QFileInfo info(file.fileName());
    const QString text = SerialLine::openErrorText(file.fileName().toLocal8Bit(), EACCES);
    QVERIFY2(text.contains(QStringLiteral("group '") + info.group() + QLatin1Char('\'')), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("usermod")));
}

// The port's options go to whatever line it made: a pseudo-terminal's driver has no
// RS-485 mode, so asking for it fails the open, and says so.
void TestModbusPort::rs485OptionReachesTheLine()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return ScriptedSlave::Reply {}; }));
    ModbusPort port(slave.path().toLocal8Bit());
    LineOptions rs485;
    rs485.rs485 = true;
    port.setLineOptions(rs485);
    QVERIFY(!port.open());
    QCOMPARE(port.failure(), ModbusPort::Failure::NotOpen);
    QVERIFY2(port.errorString().contains(QStringLiteral("RS-485")), qPrintable(port.errorString()));
    port.setLineOptions(LineOptions());
    QVERIFY(port.open());
}

void TestModbusPort::framesAreTracedWhenEnabled()
{
    ScriptedSlave slave;
    QVERIFY(slave.start([](const QByteArray &) { return crc("01 03 02 00 2A"); }));
    ModbusPort port(slave.path().toLocal8Bit());
    QVERIFY(port.open());
    port.setSlaveAddress(1);
    port.setReadTimeout(1000);
    port.setReplyGap(kTestReplyGapMs);
    traced.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("orbix.link.frames.debug=true"));
    const auto previous = qInstallMessageHandler(captureTrace);
    quint16 v = 0;
    const bool ok = port.readRegisters(1, 2, &v);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("orbix.*.debug=false"));
    QVERIFY(ok);
    QCOMPARE(traced.size(), 2);
    QVERIFY2(traced[0].contains(QStringLiteral("TX 01 03 00 00 00 01 84 0a")), qPrintable(traced[0]));
    QVERIFY2(traced[1].contains(QStringLiteral("RX 01 03 02 00 2a")), qPrintable(traced[1]));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ")).match(traced[0]).hasMatch());
}

QTEST_GUILESS_MAIN(TestModbusPort)
#include "tst_modbusport.moc"
