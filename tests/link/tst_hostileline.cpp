// Lines against peers no device server would be: one that floods without end (what is
// dropped is counted, never kept, and a real reply is read once it stops), one that
// ends the connection and one that resets it (the line is gone, and said so at once).
#include "link/modbusport.h"
#include "link/rtuframing.h"
#include "link/modbustcpline.h"
#include "tests/link/hostilepeer.h"
#include "tests/testdeadline.h"
#include "tests/testreplygap.h"

#include <QtTest>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 kMs = Line::kNsPerMs;

// A line on a socket the test connected itself.
template <class L> class OnSocket : public L
{
public:
    explicit OnSocket(int fd) : L(QByteArrayLiteral("tcp://127.0.0.1:1")) { this->opened(fd); }
    bool open() override { return this->isOpen(); }
};

std::unique_ptr<Line> lineOn(const QString &scheme, int fd)
{
    if (scheme == QLatin1String("modbus-tcp"))
        return std::make_unique<OnSocket<ModbusTcpLine>>(fd);
    return std::make_unique<OnSocket<TcpLine>>(fd);
}

// The far end floods the socket until the flood is stopped.
struct Flood {
    explicit Flood(int fd)
        : worker([this, fd] {
            for (pollfd p {fd, POLLOUT, 0}; flooding; ::poll(&p, 1, 20))
                HostilePeer::floodOnce(fd, sent);
        })
    {
    }
    ~Flood() { stop(); }
    void stop()
    {
        flooding = false;
        if (worker.joinable())
            worker.join();
    }
    std::atomic<bool> flooding {true};
    std::atomic<quint64> sent {0};
    std::thread worker;
};

QByteArray readRequest()
{
    QByteArray r = RtuFraming::readRequest(1, 1, 1);
    RtuFraming::appendCrc(r);
    return r;
}

QByteArray readReply()
{
    QByteArray r = QByteArray::fromHex("010302002a");
    RtuFraming::appendCrc(r);
    return r;
}

// The reply as the far end of this kind of line sends it.
QByteArray onTheWire(const QString &scheme, const QByteArray &rtu)
{
    if (scheme != QLatin1String("modbus-tcp"))
        return rtu;
    return ModbusTcpLine::toMbap(reinterpret_cast<const quint8 *>(rtu.constData()), rtu.size(), 1);
}

} // namespace

Q_DECLARE_METATYPE(HostilePeer::Behaviour)

class TestHostileLine : public QObject
{
    Q_OBJECT

private slots:
    void floodIsCountedNotKept_data();
    void floodIsCountedNotKept();
    void endOfLineEndsTheWait_data();
    void endOfLineEndsTheWait();
    void portGivesUpTheLine_data();
    void portGivesUpTheLine();
};

void TestHostileLine::floodIsCountedNotKept_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("RTU over TCP") << "tcp";
    QTest::newRow("Modbus TCP") << "modbus-tcp";
}

void TestHostileLine::floodIsCountedNotKept()
{
    QFETCH(QString, scheme);
    const auto ends = HostilePeer::connectedPair();
    QVERIFY(ends.first >= 0 && ends.second >= 0);
    auto line = lineOn(scheme, ends.first);
    line->setTimeouts({20, 200, 1000, 0});
    QVERIFY(line->write(reinterpret_cast<const quint8 *>(readRequest().constData()), readRequest().size()) > 0);
    Flood flood(ends.second);
    QVERIFY(QTest::qWaitFor([&] { return flood.sent > quint64(4 * Line::kDiscardLimit); }, 5000));
    QVERIFY(line->discardInput());
    // A gap of a few characters would be seen whenever a busy machine holds the flood up
    // (an emulated one even more).
    QCOMPARE(line->waitQuiet(testDeadlineMs(30) * kMs, testDeadlineMs(300) * kMs), Line::Quiet::Talking);
    quint8 buffer[ModbusPort::kResponseBuffer];
    line->read(buffer, sizeof buffer); // garbage for RTU, nothing for Modbus TCP
    QVERIFY(line->pendingBytes() <= Line::kPendingLimit);
    const Line::Dropped dropped = line->takeDropped();
    QVERIFY2(dropped.count >= quint64(Line::kDiscardLimit), qPrintable(QString::number(dropped.count)));
    QCOMPARE(dropped.tail.size(), Line::Dropped::kTailBytes);
    flood.stop();
    QCOMPARE(line->waitQuiet(50 * kMs, 10000 * kMs), Line::Quiet::Silent);
    char request[64];
    while (::recv(ends.second, request, sizeof request, MSG_DONTWAIT) > 0) {
    }
    const QByteArray reply = onTheWire(scheme, readReply());
    QCOMPARE(::send(ends.second, reply.constData(), size_t(reply.size()), 0), ssize_t(reply.size()));
    const qint64 got = line->read(buffer, sizeof buffer);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), int(qMax<qint64>(got, 0))), readReply());
    ::close(ends.second);
}

void TestHostileLine::endOfLineEndsTheWait_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("reset");
    QTest::newRow("RTU over TCP, end of file") << "tcp" << false;
    QTest::newRow("RTU over TCP, reset") << "tcp" << true;
    QTest::newRow("Modbus TCP, end of file") << "modbus-tcp" << false;
    QTest::newRow("Modbus TCP, reset") << "modbus-tcp" << true;
}

// A socket at its end of file stays readable: the wait must end there, not spin to its limit.
void TestHostileLine::endOfLineEndsTheWait()
{
    QFETCH(QString, scheme);
    QFETCH(bool, reset);
    const auto ends = HostilePeer::connectedPair();
    QVERIFY(ends.first >= 0 && ends.second >= 0);
    auto line = lineOn(scheme, ends.first);
    const linger now {1, 0};
    if (reset)
        setsockopt(ends.second, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    ::close(ends.second);
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(line->waitQuiet(10000 * kMs, 5000 * kMs), Line::Quiet::Failed);
    QVERIFY2(waited.elapsed() < 1000, qPrintable(QString::number(waited.elapsed())));
    QVERIFY2(Line::isGone(line->lastError()), qPrintable(QString::number(line->lastError())));
    QVERIFY(!line->discardInput());
}

void TestHostileLine::portGivesUpTheLine_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<HostilePeer::Behaviour>("behaviour");
    QTest::addColumn<QString>("reason");
    QTest::newRow("reset") << "tcp" << HostilePeer::Behaviour::Reset << "";
    QTest::newRow("end of file") << "tcp" << HostilePeer::Behaviour::Close << "";
    QTest::newRow("Modbus TCP, reset") << "modbus-tcp" << HostilePeer::Behaviour::Reset << "";
    QTest::newRow("flood") << "tcp" << HostilePeer::Behaviour::Flood << "never fell silent";
    QTest::newRow("Modbus TCP, flood") << "modbus-tcp" << HostilePeer::Behaviour::Flood << "never fell silent";
}

// Whatever ended the connection, the port closes it so that its owner connects again.
void TestHostileLine::portGivesUpTheLine()
{
    QFETCH(QString, scheme);
    QFETCH(HostilePeer::Behaviour, behaviour);
    QFETCH(QString, reason);
    HostilePeer peer(behaviour);
    QVERIFY(peer.listen(0));
    ModbusPort port(QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(peer.port()).toUtf8());
    port.setReplyGap(kTestReplyGapMs);
    QVERIFY(port.open());
    port.setSlaveAddress(1);
    port.setReadTimeout(500);
    QVERIFY(QTest::qWaitFor([&] { return peer.connections() > 0; }, 5000));
    quint16 value = 0;
    for (int i = 0; i < 3 && port.isOpen(); ++i)
        QVERIFY(!port.readRegisters(1, 2, &value));
    QVERIFY2(port.lineGone(), qPrintable(port.errorString()));
    QVERIFY(!port.isOpen());
    QVERIFY2(port.errorString().contains(reason), qPrintable(port.errorString()));
    if (behaviour == HostilePeer::Behaviour::Flood)
        QVERIFY(port.statistics().discardedBytes >= quint64(Line::kDiscardLimit));
}

QTEST_GUILESS_MAIN(TestHostileLine)
#include "tst_hostileline.moc"
