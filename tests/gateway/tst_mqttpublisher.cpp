// The gateway's MQTT client against brokers started by the test: a real one that comes
// late, scripted ones that break the protocol, drop the link or flap, and the outbox's
// damaged records and compaction as the client meets them.
#include "gateway/mqttpublisher.h"
#include "gateway/outbox.h"
#include "storage/datadirectory.h"
#include "tests/testdeadline.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cstddef>
#include <memory>
#include <mutex>

#include <linux/tcp.h> // tcpi_bytes_received, as the client reads it
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // the sanitizer's own, no header with GCC
#else
#include <malloc.h>
#endif

namespace {

const int kWaitMs = testDeadlineMs(15000);
const char kClientId[] = "tst-publisher";

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name), {"/usr/sbin", "/usr/bin"});
}

// Whether the kernel tells a connection's byte counts (TCP_INFO), by which the client
// bounds what a broker sends it: qemu-user 7.2 passes on 4 bytes of it.
bool tcpInfoCounts()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    tcp_info info {};
    socklen_t size = sizeof info;
    const bool whole = fd >= 0 && getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0
                       && size >= offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received;
    if (fd >= 0)
        close(fd);
    return whole;
}

quint16 freePort()
{
    QTcpServer s;
    return s.listen(QHostAddress::LocalHost, 0) ? s.serverPort() : 0;
}

// Bytes the heap holds for the program, freed blocks not counted (the address
// sanitizer keeps those a while).
qint64 heapBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
#endif
}

qint64 residentBytes()
{
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

// A real broker whose log (-v) shows every client and every PUBLISH it receives.
struct Broker {
    QProcess process;
    QByteArray log;
    ~Broker()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool start(quint16 port, const QString &dir)
    {
        QFile conf(dir + "/mosquitto.conf");
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port).toUtf8());
        conf.close();
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyRead, [this] { log += process.readAll(); });
        process.start(tool("mosquitto"), {"-v", "-c", conf.fileName()});
        return QTest::qWaitFor([this] { return log.contains("running"); }, kWaitMs);
    }
    // PUBLISH packets received from the publisher on topic.
    int countOn(const QByteArray &topic) const
    {
        int n = 0;
        const QByteArray from = QByteArray("Received PUBLISH from ") + kClientId + " (";
        const QByteArray on = ", '" + topic + "',";
        for (int at = log.indexOf(from); at >= 0; at = log.indexOf(from, at + 1)) {
            const int end = log.indexOf('\n', at);
            if (log.mid(at, end - at).contains(on))
                ++n;
        }
        return n;
    }
};

// A broker written out in the test: it reads the client's packets and answers as its
// script says. Every PUBLISH it reads is kept, in order.
class ScriptedBroker : public QObject
{
public:
    enum class Script {
        Acking,         // CONNACK, a PUBACK for each PUBLISH of QoS 1
        Reserved,       // CONNACK, then the bytes given
        Drop,           // CONNACK, then the link closed
        Oversize,       // CONNACK, then a packet announcing 256 MiB, and junk
        Flapping,       // as Acking, but the link closed at the dropAfter-th PUBLISH
        Chatty,         // as Acking, with 2 MiB of whole packets of 4 KiB after the CONNACK
    };
    ScriptedBroker(Script script, QByteArray bytes = {}) : script(script), bytes(std::move(bytes)) {}
    bool listen(quint16 port)
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                s->setParent(this);
                // A socket may have the address of one closed before: none of its bytes or counts.
                buffers.remove(s);
                perConnection.remove(s);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
                connect(s, &QTcpSocket::bytesWritten, this, [this, s] { sendJunk(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        return server.listen(QHostAddress::LocalHost, port);
    }
    void close()
    {
        server.close();
        for (QTcpSocket *s : findChildren<QTcpSocket *>())
            s->abort();
    }

    int connects = 0;
    QByteArrayList payloads;
    int dropAfter = 200;
    qint64 junkSent = 0, peakResident = 0;

private:
    static constexpr qint64 kAnnounced = 268435455; // the largest remaining length

    void read(QTcpSocket *s)
    {
        QByteArray &in = buffers[s];
        in += s->readAll();
        for (;;) {
            int length = 0, at = 1, shift = 0;
            bool whole = false;
            while (at < in.size() && at <= 4) {
                const quint8 b = quint8(in[at++]);
                length |= (b & 0x7f) << shift;
                shift += 7;
                if (!(b & 0x80)) {
                    whole = true;
                    break;
                }
            }
            if (!whole || in.size() < at + length)
                return;
            const QByteArray packet = in.left(at + length), body = in.mid(at, length);
            in.remove(0, at + length);
            if (!handle(s, quint8(packet[0]), body))
                return;
        }
    }
    // False when the link is closed.
    bool handle(QTcpSocket *s, quint8 header, const QByteArray &body)
    {
        switch (header >> 4) {
        case 1: // CONNECT
            ++connects;
            perConnection[s] = 0;
            // One write, so that the client reads what follows the CONNACK at once.
            if (script == Script::Reserved) {
                s->write(QByteArray::fromHex("20020000") + bytes);
            } else if (script == Script::Drop) {
                s->write(QByteArray::fromHex("20020000"));
                s->flush();
                s->abort();
                return false;
            } else if (script == Script::Oversize) {
                s->write(QByteArray::fromHex("2002000030ffffff7f"));
                sendJunk(s);
            } else if (script == Script::Chatty) {
                s->write(QByteArray::fromHex("20020000"));
                sendJunk(s);
            } else {
                s->write(QByteArray::fromHex("20020000"));
            }
            return true;
        case 3: { // PUBLISH
            const int topicLength = (quint8(body[0]) << 8) | quint8(body[1]);
            const int qos = (header >> 1) & 3;
            const int idAt = 2 + topicLength;
            payloads << body.mid(idAt + (qos ? 2 : 0));
            if (script == Script::Flapping && ++perConnection[s] >= dropAfter) {
                s->abort();
                return false;
            }
            if (qos == 1 && (script == Script::Acking || script == Script::Flapping || script == Script::Chatty))
                s->write(QByteArray::fromHex("4002") + body.mid(idAt, 2));
            return true;
        }
        case 12: // PINGREQ
            s->write(QByteArray::fromHex("d000"));
            return true;
        default:
            return true;
        }
    }
    // Junk (or whole packets) as fast as the client reads it, never more than a little held here.
    void sendJunk(QTcpSocket *s)
    {
        if ((script != Script::Oversize && script != Script::Chatty) || s->state() != QAbstractSocket::ConnectedState)
            return;
        // A PUBLISH of QoS 0 on "x" with 4093 bytes: 4096 remaining, 0x80 0x20 as a varint.
        static const QByteArray junk(256 * 1024, 'j'),
            publishes = QByteArray(QByteArray::fromHex("308020000178") + QByteArray(4093, 'p')).repeated(64);
        const QByteArray &chunk = script == Script::Oversize ? junk : publishes;
        const qint64 total = script == Script::Oversize ? kAnnounced : 8 * chunk.size();
        while (s->bytesToWrite() < 1024 * 1024 && junkSent < total) {
            s->write(chunk.left(int(qMin<qint64>(chunk.size(), total - junkSent))));
            junkSent += chunk.size();
        }
        peakResident = qMax(peakResident, residentBytes());
    }

    const Script script;
    const QByteArray bytes;
    QTcpServer server;
    QMap<QTcpSocket *, QByteArray> buffers;
    QMap<QTcpSocket *, int> perConnection;
};

MqttPublisher::Settings settings(quint16 port)
{
    MqttPublisher::Settings s;
    s.host = "127.0.0.1";
    s.port = port;
    s.clientId = kClientId;
    s.statusTopic = "plant/status";
    s.reconnectFirstMs = 50;
    s.reconnectLongestMs = 200;
    return s;
}

// The publisher's log, kept for the test to wait on and to show.
struct LogLines {
    std::mutex lock;
    QStringList lines;
    std::function<void(int, const QString &)> sink()
    {
        return [this](int, const QString &line) {
            std::lock_guard<std::mutex> g(lock);
            lines << line;
        };
    }
    bool contains(const QString &part)
    {
        std::lock_guard<std::mutex> g(lock);
        return !lines.filter(part).isEmpty();
    }
    QByteArray text()
    {
        std::lock_guard<std::mutex> g(lock);
        return lines.join('\n').toUtf8();
    }
};

bool readFile(const QString &path, QByteArray &text)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    text = f.readAll();
    return true;
}

QByteArrayList numbered(int count)
{
    QByteArrayList l;
    for (int i = 1; i <= count; ++i)
        l << QByteArray::number(i);
    return l;
}

} // namespace

class TestMqttPublisher : public QObject
{
    Q_OBJECT

private slots:
    void brokerComesLater();
    void reconnectsAfterABrokenPeer_data();
    void reconnectsAfterABrokenPeer();
    void flappingBrokerGetsEachEventOnceOrTwice();
    void manyEventsLeaveNoneBehind();
    void manySmallPacketsAreNoFlood();
    void damagedRecordsSetAside_data();
    void damagedRecordsSetAside();
    void compactedWhenDrainedAndAtStop();
};

// The normal order at boot: the gateway first, the broker seconds later.
void TestMqttPublisher::brokerComesLater()
{
    if (tool("mosquitto").isEmpty())
        QSKIP("mosquitto is not installed");
    QTemporaryDir dir;
    const quint16 port = freePort();
    Outbox outbox(dir.filePath("outbox"), 1000);
    QVERIFY(outbox.open());
    MqttPublisher publisher(settings(port), outbox);
    LogLines log;
    publisher.setLog(log.sink());
    QString error;
    QVERIFY2(publisher.start(error), qPrintable(error));
    publisher.publishEvent("plant/event", "before");
    QVERIFY(QTest::qWaitFor([&] { return log.contains("not reached"); }, kWaitMs));
    Broker broker;
    QVERIFY(broker.start(port, dir.path()));
    QVERIFY2(QTest::qWaitFor([&] { return broker.countOn("plant/event") == 1; }, kWaitMs), log.text().constData());
    QVERIFY(publisher.isConnected());
    QVERIFY(QTest::qWaitFor([&] { return publisher.outboxSize() == 0; }, kWaitMs));
    publisher.stop(2000);
}

void TestMqttPublisher::reconnectsAfterABrokenPeer_data()
{
    QTest::addColumn<int>("script");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("reserved type 0") << int(ScriptedBroker::Script::Reserved) << QByteArray::fromHex("0000");
    QTest::newRow("reserved type 15") << int(ScriptedBroker::Script::Reserved) << QByteArray::fromHex("f000");
    QTest::newRow("dropped after CONNACK") << int(ScriptedBroker::Script::Drop) << QByteArray();
    QTest::newRow("256 MiB announced") << int(ScriptedBroker::Script::Oversize) << QByteArray();
}

// Whatever the peer did, the client connects again, and a real broker on the same port
// then gets what waited.
void TestMqttPublisher::reconnectsAfterABrokenPeer()
{
    QFETCH(int, script);
    QFETCH(QByteArray, bytes);
    if (tool("mosquitto").isEmpty())
        QSKIP("mosquitto is not installed");
    if (ScriptedBroker::Script(script) == ScriptedBroker::Script::Oversize && !tcpInfoCounts())
        QSKIP("no byte counts of a connection here (TCP_INFO cut short, as under qemu-user)");
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto peer = std::make_unique<ScriptedBroker>(ScriptedBroker::Script(script), bytes);
    QVERIFY(peer->listen(port));
    Outbox outbox(dir.filePath("outbox"), 1000);
    QVERIFY(outbox.open());
    MqttPublisher publisher(settings(port), outbox);
    LogLines log;
    publisher.setLog(log.sink());
    for (const QByteArray &p : numbered(3))
        publisher.publishEvent("plant/event", p);
    const qint64 before = residentBytes();
    QString error;
    QVERIFY(publisher.start(error));
    constexpr qint64 kBound = 64 * 1024 * 1024;
    // A client that takes the junk in shows it in its size before it could connect again.
    QVERIFY(QTest::qWaitFor([&] { return peer->connects >= 2 || peer->junkSent > kBound + (16 << 20); },
                            testDeadlineMs(40000)));
    if (ScriptedBroker::Script(script) == ScriptedBroker::Script::Oversize) {
        const qint64 grown = peer->peakResident - before;
        QVERIFY2(grown < kBound, qPrintable(QStringLiteral("%1 bytes more resident, %2 bytes of junk sent")
                                                          .arg(grown).arg(peer->junkSent)));
        qInfo("%lld bytes more resident at most, %lld bytes of junk sent", grown, peer->junkSent);
    }
    QVERIFY2(peer->connects >= 2, log.text().constData());
    peer->close();
    peer.reset();
    Broker broker;
    QVERIFY(broker.start(port, dir.path()));
    QVERIFY2(QTest::qWaitFor([&] { return publisher.outboxSize() == 0 && broker.countOn("plant/event") >= 3; }, kWaitMs),
             log.text().constData());
    publisher.stop(2000);
}

// A broker that takes a connection and drops it a moment later, again and again, with
// thousands of events waiting: each reaches it once, or twice if it was in flight at a
// drop; the client holds each once, whatever the number of connections.
void TestMqttPublisher::flappingBrokerGetsEachEventOnceOrTwice()
{
    constexpr int kEvents = 3000;
    QTemporaryDir dir;
    const quint16 port = freePort();
    ScriptedBroker peer(ScriptedBroker::Script::Flapping);
    peer.dropAfter = 150;
    QVERIFY(peer.listen(port));
    Outbox outbox(dir.filePath("outbox"), 100000);
    QVERIFY(outbox.open());
    MqttPublisher publisher(settings(port), outbox);
    LogLines log;
    publisher.setLog(log.sink());
    const QByteArray padding(200, 'x');
    for (const QByteArray &p : numbered(kEvents))
        publisher.publishEvent("plant/event", p + ' ' + padding);
    const qint64 before = heapBytes();
    QString error;
    QVERIFY(publisher.start(error));
    qint64 grown = 0;
    QVERIFY2(QTest::qWaitFor([&] {
        grown = qMax(grown, heapBytes() - before);
        return publisher.outboxSize() == 0;
    }, testDeadlineMs(40000)), log.text().constData());
    publisher.stop(200);
    QMap<QByteArray, int> times;
    for (const QByteArray &p : peer.payloads)
        if (p.endsWith(padding))
            ++times[p.left(p.indexOf(' '))];
    QCOMPARE(times.size(), kEvents);
    int twice = 0;
    for (auto it = times.cbegin(); it != times.cend(); ++it) {
        QVERIFY2(it.value() <= 2, qPrintable(QStringLiteral("event %1 delivered %2 times").arg(QString(it.key())).arg(it.value())));
        twice += it.value() == 2;
    }
    QVERIFY2(peer.connects >= kEvents / peer.dropAfter, qPrintable(QString::number(peer.connects)));
    // The broker's copies of what it got are about 1 MB of it.
    QVERIFY2(grown < 8 * 1024 * 1024, qPrintable(QString::number(grown)));
    qInfo("%d connections, %d events delivered twice, at most %lld bytes more on the heap", peer.connects, twice, grown);
}

// More events than the library has message ids: every one is acknowledged on its own,
// and none is left for the next start.
void TestMqttPublisher::manyEventsLeaveNoneBehind()
{
    constexpr int kEvents = 70000;
    if (tool("mosquitto").isEmpty())
        QSKIP("mosquitto is not installed");
    QTemporaryDir dir;
    const quint16 port = freePort();
    Broker broker;
    QVERIFY(broker.start(port, dir.path()));
    {
        Outbox outbox(dir.filePath("outbox"), 100000);
        QVERIFY(outbox.open());
        MqttPublisher publisher(settings(port), outbox);
        for (int i = 1; i <= kEvents; ++i)
            publisher.publishEvent("plant/event", QByteArray::number(i));
        QString error;
        QVERIFY(publisher.start(error));
        QVERIFY2(QTest::qWaitFor([&] { return publisher.outboxSize() == 0; }, testDeadlineMs(50000)),
                 qPrintable(QString::number(publisher.outboxSize())));
        publisher.stop(2000);
        QCOMPARE(outbox.size(), 0);
    }
    QVERIFY(QTest::qWaitFor([&] { return broker.countOn("plant/event") >= kEvents; }, kWaitMs));
    Outbox again(dir.filePath("outbox"), 100000);
    QVERIFY(again.open());
    QCOMPARE(again.size(), 0);
}

// The bound is on what comes without a whole packet, not on what comes: a broker that
// sends many small packets keeps its connection.
void TestMqttPublisher::manySmallPacketsAreNoFlood()
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    ScriptedBroker peer(ScriptedBroker::Script::Chatty);
    QVERIFY(peer.listen(port));
    Outbox outbox(dir.filePath("outbox"), 1000);
    QVERIFY(outbox.open());
    MqttPublisher publisher(settings(port), outbox);
    LogLines log;
    publisher.setLog(log.sink());
    QString error;
    QVERIFY(publisher.start(error));
    QVERIFY(QTest::qWaitFor([&] { return peer.junkSent >= 2 * 1024 * 1024 && publisher.isConnected(); }, kWaitMs));
    publisher.publishEvent("plant/event", "after");
    QVERIFY2(QTest::qWaitFor([&] { return peer.payloads.contains("after") && publisher.outboxSize() == 0; }, kWaitMs),
             log.text().constData());
    QCOMPARE(peer.connects, 1);
    publisher.stop(200);
}

void TestMqttPublisher::damagedRecordsSetAside_data()
{
    // A journal of five records written by the outbox, payloads 1..5, then edited: the
    // line of record 3 (or the whole file) replaced. Old-format files are written here.
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<int>("damaged");
    const QByteArrayList allButThird {"1", "2", "4", "5"};
    QTest::newRow("checksum wrong") << "checksum" << allButThird << 1;
    QTest::newRow("topic not UTF-8") << "utf8" << allButThird << 1;
    QTest::newRow("cut mid-record") << "cut" << allButThird << 1;
    QTest::newRow("cut at the end") << "tail" << QByteArrayList {"1", "2", "3", "4"} << 1;
    QTest::newRow("random bytes") << "random" << QByteArrayList {} << 3;
    QTest::newRow("old format") << "old" << QByteArrayList {"1", "2", "5"} << 3;
}

// A damaged record is set aside and counted; the others are sent, in order; the file
// written anew holds none of the damaged.
void TestMqttPublisher::damagedRecordsSetAside()
{
    QFETCH(QString, damage);
    QFETCH(QByteArrayList, sent);
    QFETCH(int, damaged);
    QTemporaryDir dir;
    const QString path = dir.filePath("outbox");
    {
        Outbox writer(path, 100);
        QVERIFY(writer.open());
        for (const QByteArray &p : numbered(5))
            writer.push({damage == "utf8" && p == "3" ? QByteArray("plant/\xc3\x28") : QByteArray("plant/event"), p});
    }
    QByteArray text;
    if (damage == "random") {
        QRandomGenerator random(7);
        text.resize(4000);
        for (char &c : text)
            c = char(random.bounded(256) | 0x80); // no newline among them
        text = text.left(1000) + '\n' + text.mid(1000, 1000) + '\n' + text.mid(2000);
    } else if (damage == "old") {
        auto line = [](const char *n, const QByteArray &topic, const QByteArray &payload) -> QByteArray {
            return QByteArray("+") + n + ' ' + topic.toBase64() + ' ' + payload.toBase64() + '\n';
        };
        text = line("1", "plant/event", "1") + line("2", "plant/event", "2") + line("3", "plant/\xc3\x28", "3")
               + line("4", "plant/#", "4") + "+5 @@@@ @@@@\n" + line("6", "plant/event", "5")
               + line("7", "plant/event", "gone") + "-7\n";
    } else {
        QVERIFY(readFile(path, text));
        QByteArrayList lines = text.split('\n');
        QCOMPARE(lines.size(), 7); // the header, five records, the empty rest
        QByteArray &third = lines[3];
        if (damage == "checksum") {
            third[third.size() - 1] = third.endsWith('0') ? '1' : '0';
        } else if (damage == "cut") {
            third.truncate(third.size() / 2);
        } else if (damage == "tail") {
            lines.removeLast();
            lines.last().chop(3);
        }
        text = lines.join('\n');
    }
    QVERIFY(DataDirectory::writeFile(path, text));

    Outbox outbox(path, 100);
    QVERIFY(outbox.open());
    QCOMPARE(outbox.size(), sent.size());
    QCOMPARE(outbox.damaged(), quint64(damaged));
    QVERIFY(QFileInfo(path + ".damaged").size() > 0);
    ScriptedBroker peer(ScriptedBroker::Script::Acking);
    const quint16 port = freePort();
    QVERIFY(peer.listen(port));
    MqttPublisher publisher(settings(port), outbox);
    QString error;
    QVERIFY(publisher.start(error));
    QCOMPARE(publisher.outboxDamaged(), quint64(damaged));
    QVERIFY(QTest::qWaitFor([&] { return publisher.outboxSize() == 0 && peer.payloads.size() > sent.size(); }, kWaitMs));
    publisher.stop(200); // the broker, in this thread, answers only after it
    QVERIFY(QTest::qWaitFor([&] { return peer.payloads.last() == "offline"; }, kWaitMs));
    QCOMPARE(peer.payloads.mid(1, sent.size()), sent); // after "online"

    Outbox again(path, 100);
    QVERIFY(again.open());
    QCOMPARE(again.damaged(), quint64(0));
    QCOMPARE(again.size(), 0);
}

// A drained outbox does not keep what was sent until the next start, nor does a stop.
void TestMqttPublisher::compactedWhenDrainedAndAtStop()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("outbox");
    Outbox outbox(path, 1000);
    QVERIFY(outbox.open());
    const qint64 empty = QFileInfo(path).size();
    ScriptedBroker peer(ScriptedBroker::Script::Acking);
    const quint16 port = freePort();
    QVERIFY(peer.listen(port));
    MqttPublisher publisher(settings(port), outbox);
    QString error;
    QVERIFY(publisher.start(error));
    for (const QByteArray &p : numbered(300))
        publisher.publishEvent("plant/event", p);
    QVERIFY(QTest::qWaitFor([&] { return publisher.outboxSize() == 0 && peer.payloads.size() > 300; }, kWaitMs));
    QVERIFY2(QFileInfo(path).size() <= 4096, qPrintable(QString::number(QFileInfo(path).size())));
    publisher.publishEvent("plant/event", "last");
    QVERIFY(QTest::qWaitFor([&] { return publisher.outboxSize() == 0; }, kWaitMs));
    publisher.stop(200);
    QCOMPARE(QFileInfo(path).size(), empty);
}

QTEST_GUILESS_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"
