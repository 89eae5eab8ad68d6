// The gateway against real peers: its configuration refused key by key, the outbox
// bounded and kept across a restart, and the whole program with two simulated lines
// (a pseudo-terminal and Modbus TCP), a real broker and promtool; the line poller
// against the simulator: its pace, a silent device, a link lost and restored, what is
// news after a device comes back or is replaced; the metrics server against raw
// sockets; the log's form on the journal and in a file.
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/protocolpacket.h"
#include "device/registermap.h"
#include "exchange/crasheventoscillogramget.h"
#include "exchange/dataeventgetprotocol.h"
#include "exchange/linepoller.h"
#include "exchange/pollersink.h"
#include "gateway/gatewayconfig.h"
#include "gateway/gatewayrunner.h"
#include "gateway/metricsexporter.h"
#include "gateway/outbox.h"
#include "link/modbustcpline.h"
#include "history/historystore.h"
#include "sim/simfault.h"
#include "sim/simtcpserver.h"
#include "sim/simulator.h"
#include "storage/datadirectory.h"
#include "tests/testdeadline.h"
#include "tests/testreplygap.h"
#include "tests/testwritefailure.h"

#include <QJsonArray>
#include <QTcpSocket>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <mutex>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int kWaitMs = testDeadlineMs(8000);

// A process stopped by its id whatever the test's outcome, its output kept as lines.
struct Peer {
    QProcess process;
    QStringList lines;
    QByteArray partial;
    Peer()
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            partial += process.readAllStandardOutput();
            int end;
            while ((end = partial.indexOf('\n')) >= 0) {
                lines << QString::fromUtf8(partial.left(end));
                partial.remove(0, end + 1);
            }
        });
    }
    ~Peer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // All it wrote on stderr so far, for a failure's message.
    QString errors()
    {
        errorOutput += process.readAllStandardError();
        return QString::fromUtf8(errorOutput);
    }
    QByteArray errorOutput;
    // The payload of the first line on topic whose payload holds every one of parts.
    QString wait(const QString &topic, const QStringList &parts = {})
    {
        QString found;
        (void)QTest::qWaitFor([&] {
            for (const QString &l : lines) {
                if (!l.startsWith(topic + ' '))
                    continue;
                const QString payload = l.mid(topic.size() + 1);
                bool all = true;
                for (const QString &p : parts)
                    all = all && payload.contains(p);
                if (all) {
                    found = payload;
                    return true;
                }
            }
            return false;
        }, kWaitMs);
        return found;
    }
};

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name), {"/usr/sbin", "/usr/bin"});
}

// A socket connected to the port on the loopback, or -1.
int connectLoopback(quint16 port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

bool connects(quint16 port)
{
    const int fd = connectLoopback(port);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

bool listening(quint16 port)
{
    return QTest::qWaitFor([port] { return connects(port); }, kWaitMs);
}

// Runs a tool to its end; false with its output in why when it fails.
bool runTool(const char *name, const QStringList &args, const QString &dir, QString &why)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool(name), args);
    const bool ok = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    why = QString::fromLocal8Bit(p.readAll());
    return ok;
}

// A certificate authority and a broker certificate for 127.0.0.1 signed by it:
// ca.crt, server.crt and server.key in dir.
bool makeCertificates(const QString &dir, QString &why)
{
    return runTool("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=test CA",
                               "-keyout", "ca.key", "-out", "ca.crt"}, dir, why)
           && runTool("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                                  "server.key", "-out", "server.csr"}, dir, why)
           && DataDirectory::writeFile(dir + "/san.ext", "subjectAltName=IP:127.0.0.1\n")
           && runTool("openssl", {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                                  "-CAcreateserial", "-days", "2", "-extfile", "san.ext", "-out", "server.crt"}, dir, why);
}

// The whole reply to an HTTP/1.0 request on the loopback, as a scraper reads it; empty
// when none came within 5 s.
QByteArray httpRequest(quint16 port, const char *method, const QString &path)
{
    const int fd = connectLoopback(port);
    if (fd < 0)
        return {};
    const timeval limit {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    QByteArray reply;
    const QByteArray request = method + (' ' + path.toLatin1()) + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd, request.constData(), size_t(request.size()), 0) == request.size()) {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, int(n));
    }
    close(fd);
    return reply;
}

// The body of a GET answered 200; empty on failure.
QByteArray httpGet(quint16 port, const QString &path)
{
    const QByteArray reply = httpRequest(port, "GET", path);
    const int body = reply.indexOf("\r\n\r\n");
    return reply.startsWith("HTTP/1.") && reply.contains(" 200 ") && body > 0 ? reply.mid(body + 4) : QByteArray();
}

// The scrape's lines that start with prefix.
QByteArrayList series(const QByteArray &metrics, const QByteArray &prefix)
{
    QByteArrayList out;
    for (const QByteArray &l : metrics.split('\n'))
        if (l.startsWith(prefix))
            out << l;
    return out;
}

// What a poller reports, counted; called from the poller's thread. After the first
// logs event (what the device held), every record and oscillogram handed on is noted
// in order: "trip CODE", "work CODE", "oscillogram CODE".
struct RecordingSink : PollerSink {
    mutable std::mutex lock;
    QMap<int, DeviceInfo> identified;
    QMap<int, int> answered, silent;
    QMap<int, int> types;
    QStringList handed;
    QList<int> replaced;
    void deviceIdentified(const QString &, const DeviceInfo &d) override
    {
        std::lock_guard<std::mutex> g(lock);
        identified[d.address] = d;
    }
    void deviceEvent(const QString &, const DeviceInfo &, const DataEventPtr &e) override
    {
        std::lock_guard<std::mutex> g(lock);
        if (e->type() == DataEvent::GetProtocol && types.value(e->type()) > 0)
            note(static_cast<const DataEventGetProtocol &>(*e));
        if (e->type() == DataEvent::OscillogramGet)
            handed << QStringLiteral("oscillogram %1")
                          .arg(static_cast<const CrashEventOscillogramGet &>(*e).packet()->faultCode());
        ++types[e->type()];
    }
    void note(const DataEventGetProtocol &logs)
    {
        for (int i = 0; i < CrashProtocolPacket::kRecords; ++i)
            if (logs.crashProtocol()->code(i) != 0)
                handed << QStringLiteral("trip %1").arg(logs.crashProtocol()->code(i));
        for (int i = 0; i < ProtocolPacket::kRecords; ++i)
            if (logs.protocol()->code(i) != 0)
                handed << QStringLiteral("work %1").arg(logs.protocol()->code(i));
    }
    void logsReplaced(const QString &, int, int olderRecords) override
    {
        std::lock_guard<std::mutex> g(lock);
        replaced << olderRecords;
    }
    QStringList handedOn() const
    {
        std::lock_guard<std::mutex> g(lock);
        return handed;
    }
    void transaction(const QString &, int address, bool ok) override
    {
        std::lock_guard<std::mutex> g(lock);
        ++(ok ? answered : silent)[address];
    }
    int count(int address, bool ok) const
    {
        std::lock_guard<std::mutex> g(lock);
        return (ok ? answered : silent).value(address);
    }
    int events(int type) const
    {
        std::lock_guard<std::mutex> g(lock);
        return types.value(type);
    }
};

} // namespace

class TestGateway : public QObject
{
    Q_OBJECT

private slots:
    void configRefused_data();
    void configRefused();
    void configRead();
    void outboxBoundedAndKept_data();
    void outboxBoundedAndKept();
    void outboxOnAFullDisk();
    void secureBroker();
    void pollerPaces_data();
    void pollerPaces();
    void pollerLinkLostAndRestored();
    void pollerSeesEachNewOscillogram();
    void pollerKeepsToNews_data();
    void pollerKeepsToNews();
    void gatewayKeepsToNews();
    void metricsPt100_data();
    void metricsPt100();
    void metricsServer();
    void metricsWhileLinkDown();
    void metricsOfABrokerThatCameLater();
    void metricsOfEachRequest_data();
    void metricsOfEachRequest();
    void metricsOfTheMasters();
    void qualityOfAStuckLine();
    void logForm_data();
    void logForm();
    void wholePlant();
    void mastersShareTheLine();

private:
    bool startBroker(Peer &broker, quint16 port, const QString &dir);
    void subscribe(Peer &sub, quint16 port);
};

namespace {
// Below the test class: moc reads the "//" inside a raw string as a comment, and would
// then not see the class.
const char kValid[] = R"({"format": "orbix-gateway", "version": 1, "name": "plant",
  "mqtt": {"url": "mqtt://127.0.0.1:1883"}, "metrics": {"listen": "127.0.0.1:9100"},
  "history": {"db": "/tmp/h.db"}, "lines": [{"name": "A", "port": "/dev/ttyS0", "addresses": "1-3"}]})";
// In the URLs refused: no message may show it.
const char kUrlPassword[] = "s3cr3t";

QString json(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString prefixEdit(const QString &prefix)
{
    return json({{"mqtt", QJsonObject {{"url", "mqtt://h"}, {"prefix", prefix}}}});
}

// count lines named L0, L1, ..., each with the addresses; the first one's name given.
QString linesEdit(int count, const QString &addresses, const QString &firstName = "L0")
{
    QJsonArray lines;
    for (int i = 0; i < count; ++i)
        lines.append(QJsonObject {{"name", i == 0 ? firstName : QString("L%1").arg(i)}, {"port", "/dev/x"},
                                  {"addresses", addresses}});
    return json({{"lines", lines}});
}
} // namespace

void TestGateway::configRefused_data()
{
    QTest::addColumn<QString>("edit"); // a JSON object merged over the valid file's top level
    QTest::addColumn<QString>("named");
    QTest::newRow("unknown key") << R"({"colour": 1})" << "unknown key 'colour'";
    QTest::newRow("unknown mqtt key") << R"({"mqtt": {"url": "mqtt://h", "qos": 2}})" << "mqtt.qos";
    QTest::newRow("bad scheme") << R"({"mqtt": {"url": "http://h:1"}})" << "mqtt.url";
    QTest::newRow("password without user") << R"({"mqtt": {"url": "mqtt://h", "passwordFile": "/p"}})"
                                           << "mqtt.passwordFile";
    QTest::newRow("listen without port") << R"({"metrics": {"listen": "localhost"}})" << "metrics.listen";
    QTest::newRow("history without db") << R"({"history": {}})" << "history.db";
    QTest::newRow("wrong format") << R"({"format": "other"})" << "'format'";
    QTest::newRow("wrong version") << R"({"version": 2})" << "'version'";
    QTest::newRow("name with slash") << R"({"name": "a/b"})" << "'name'";
    QTest::newRow("no lines") << R"({"lines": []})" << "'lines'";
    QTest::newRow("address 0") << R"({"lines": [{"name": "A", "port": "/dev/x", "addresses": [0]}]})"
                               << "lines[0].addresses";
    QTest::newRow("address range backwards") << R"({"lines": [{"name": "A", "port": "/dev/x", "addresses": "5-2"}]})"
                                             << "lines[0].addresses";
    QTest::newRow("bad format") << R"({"lines": [{"name": "A", "port": "/dev/x", "addresses": [1], "format": "7E1"}]})"
                                << "lines[0].format";
    QTest::newRow("line key") << R"({"lines": [{"name": "A", "port": "/dev/x", "addresses": [1], "speed": 1}]})"
                              << "lines[0].speed";
    QTest::newRow("line twice") << R"({"lines": [{"name": "A", "port": "/x", "addresses": [1]},
                                                 {"name": "A", "port": "/y", "addresses": [1]}]})"
                                << "used twice";
    QTest::newRow("poll period") << R"({"timing": {"pollPeriodMs": 1.5}})" << "timing.pollPeriodMs";

    const QString wildcards = "'mqtt.prefix' must not hold +, # or NUL";
    QTest::newRow("prefix with NUL") << prefixEdit(QString("or") + QChar(0) + "bix") << wildcards;
    QTest::newRow("prefix with +") << prefixEdit("plant/+/x") << wildcards;
    QTest::newRow("prefix with #") << prefixEdit("plant/#") << wildcards;
    const QString control = "'mqtt.prefix' must be text without control characters";
    QTest::newRow("prefix with a control character") << prefixEdit(QString("or") + QChar(7) + "bix") << control;
    QTest::newRow("prefix with a non-character") << prefixEdit(QString("or") + QChar(0xFFFF) + "bix") << control;
    QTest::newRow("prefix of the broker's") << prefixEdit("$SYS/orbix")
                                            << "'mqtt.prefix' must not start with $ (the broker's own topics)";
    // PREFIX/plant/A/3/oscillogram: 22 bytes besides the prefix, 65,536 in all.
    const QString tooLong = "the topics of 'lines[0]' (PREFIX/NAME/LINE/ADDRESS/oscillogram) would be 65536 bytes, "
                            "past MQTT's 65535: shorten 'mqtt.prefix', 'name' or 'lines[0].name'";
    QTest::newRow("prefix past the topic length") << prefixEdit(QString(65536 - 22, 'p')) << tooLong;
    QTest::newRow("prefix in UTF-8 past it") << prefixEdit(QString((65536 - 22) / 2, QChar(0x436))) << tooLong;
    QTest::newRow("line name past it") << linesEdit(1, "3", QString(65536 - 26, 'n')) << tooLong; // orbix/plant/
    QTest::newRow("gateway name past it") << json({{"name", QString(65536 - 22, 'g')}}) << tooLong;
    const QString inUrl = "'mqtt.url' must not hold a user or password: give them as 'mqtt.username' and "
                          "'mqtt.passwordFile'";
    for (const char *url : {"mqtt://plant:s3cr3t@h", "mqtts://plant:s3cr3t@h:8883", "mqtt://plant:s3cr3t@h:99999",
                            "http://plant:s3cr3t@h/x", "mqtt://plant:s3/cr3t@h", "mqtt://:s3cr3t@h",
                            "mqtt://plant:s3cr3t@@h", "mqtt://plant@h"})
        QTest::newRow(url) << json({{"mqtt", QJsonObject {{"url", url}}}}) << inUrl;
    QTest::newRow("more lines than threads") << linesEdit(129, "1")
                                             << "'lines' holds 129 lines, one gateway polls at most 128 (a thread "
                                                "each): split them among gateways";
    QTest::newRow("ten thousand lines") << linesEdit(10000, "1") << "'lines' holds 10000 lines";
    const auto served = [](const QString &server) {
        return QStringLiteral(R"({"lines": [{"name": "A", "port": "/dev/x", "addresses": [1], "modbusServer": %1}]})")
            .arg(server);
    };
    const QString client = R"("clients": [{"address": "127.0.0.1"}])";
    QTest::newRow("server without listen") << served("{" + client + "}") << "lines[0].modbusServer.listen' is missing";
    QTest::newRow("server listen without port") << served(R"({"listen": "127.0.0.1", )" + client + "}")
                                                << "lines[0].modbusServer.listen' must be HOST:PORT";
    QTest::newRow("server without clients") << served(R"({"listen": "127.0.0.1:502"})")
                                            << "modbusServer.clients' must list 1-64 clients";
    QTest::newRow("server client a name") << served(R"({"listen": ":502", "clients": [{"address": "scada"}]})")
                                          << "modbusServer.listen";
    QTest::newRow("client not an address")
        << served(R"({"listen": "127.0.0.1:502", "clients": [{"address": "scada.plant"}]})")
        << "clients[0].address' must be an IP address, not 'scada.plant'";
    QTest::newRow("client twice")
        << served(R"({"listen": "127.0.0.1:502", "clients": [{"address": "10.0.0.1"}, {"address": "10.0.0.1"}]})")
        << "clients[1].address' 10.0.0.1 is listed twice";
    QTest::newRow("client write not a bool")
        << served(R"({"listen": "127.0.0.1:502", "clients": [{"address": "10.0.0.1", "write": "yes"}]})")
        << "clients[0].write' must be true or false";
    QTest::newRow("read share past the line") << served(R"({"listen": "127.0.0.1:502", "readShare": 1.5, )" + client + "}")
                                              << "modbusServer.readShare' must be a number above 0 and at most 1";
    QTest::newRow("server on the metrics' address")
        << served(R"({"listen": "127.0.0.1:9100", )" + client + "}") << "is also 'metrics.listen'";
    QTest::newRow("two servers on one address")
        << QStringLiteral(R"({"lines": [{"name": "A", "port": "/x", "addresses": [1], "modbusServer": %1},
                                        {"name": "B", "port": "/y", "addresses": [1], "modbusServer": %1}]})")
               .arg(R"({"listen": "127.0.0.1:502", )" + client + "}")
        << "'lines[1].modbusServer.listen' 127.0.0.1:502 is also line A's";
    QTest::newRow("more devices") << linesEdit(9, "1-247")
                                  << "'lines' hold 2223 devices, one gateway polls at most 2048: split them among "
                                     "gateways";
}

void TestGateway::configRefused()
{
    QFETCH(QString, edit);
    QFETCH(QString, named);
    QJsonObject o = QJsonDocument::fromJson(kValid).object();
    const QJsonObject changes = QJsonDocument::fromJson(edit.toUtf8()).object();
    QVERIFY(!changes.isEmpty());
    for (auto it = changes.begin(); it != changes.end(); ++it)
        o.insert(it.key(), it.value());
    QString error;
    GatewayConfig::parse(QJsonDocument(o).toJson(), error);
    QVERIFY2(error.contains(named), qPrintable(error.left(300)));
    QVERIFY2(!error.contains(kUrlPassword), qPrintable(error));
}

void TestGateway::configRead()
{
    QString error;
    const GatewayConfig c = GatewayConfig::parse(kValid, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(c.name, QString("plant"));
    QCOMPARE(c.mqtt->port, 1883);
    QCOMPARE(c.mqtt->prefix, QString("orbix"));
    QCOMPARE(*c.metricsListen, QString("127.0.0.1:9100"));
    QCOMPARE(c.lines.size(), 1);
    QCOMPARE(c.lines[0].addresses, QVector<int>({1, 2, 3}));
    QCOMPARE(c.lines[0].baud, quint32(19200));
    QVERIFY(!c.lines[0].modbusServer); // no listening unless asked

    // At the bounds, not past them: the longest topic 65,535 bytes, 128 lines of 2048 devices.
    QJsonObject o = QJsonDocument::fromJson(kValid).object();
    o.insert("mqtt", QJsonObject {{"url", "mqtt://h"}, {"prefix", QString(65535 - 22, 'p')}});
    const GatewayConfig longest = GatewayConfig::parse(QJsonDocument(o).toJson(), error);
    QVERIFY2(error.isEmpty(), qPrintable(error.left(300)));
    QCOMPARE(longest.mqtt->prefix.size(), 65535 - 22);
    o = QJsonDocument::fromJson(kValid).object();
    o.insert("lines", QJsonDocument::fromJson(linesEdit(128, "1-16").toUtf8()).object().value("lines"));
    const GatewayConfig most = GatewayConfig::parse(QJsonDocument(o).toJson(), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(most.lines.size(), 128);

    o = QJsonDocument::fromJson(kValid).object();
    o.insert("lines", QJsonDocument::fromJson(R"([{"name": "A", "port": "/dev/x", "addresses": [1],
        "modbusServer": {"listen": "[::1]:1502", "waitLimitMs": 900,
                         "clients": [{"address": "10.0.0.5", "write": true}, {"address": "::1"}]}}])").array());
    const GatewayConfig served = GatewayConfig::parse(QJsonDocument(o).toJson(), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const GatewayConfig::ModbusServer &m = *served.lines[0].modbusServer;
    QCOMPARE(m.listen, QString("[::1]:1502"));
    QCOMPARE(m.waitLimitMs, 900);
    QCOMPARE(m.readShare, 0.2);
    QCOMPARE(m.clients.size(), 2);
    QVERIFY(m.clients[0].write);
    QVERIFY(!m.clients[1].write); // reads only unless allowed
}

void TestGateway::outboxBoundedAndKept_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("pushed");  // payloads 1..pushed
    QTest::addColumn<int>("removed"); // the oldest held, once acknowledged
    QTest::addColumn<int>("dropped");
    QTest::addColumn<int>("firstLeft"); // payload of the oldest after a reopen; 0: none left
    QTest::newRow("within the limit") << 10 << 5 << 2 << 0 << 3;
    QTest::newRow("full: oldest dropped") << 3 << 5 << 1 << 2 << 4;
    QTest::newRow("all acknowledged") << 10 << 4 << 4 << 0 << 0;
    QTest::newRow("compacted after many removals") << 5000 << 1500 << 1200 << 0 << 1201;
}

void TestGateway::outboxBoundedAndKept()
{
    QFETCH(int, limit);
    QFETCH(int, pushed);
    QFETCH(int, removed);
    QFETCH(int, dropped);
    QFETCH(int, firstLeft);
    QTemporaryDir dir;
    const QString path = dir.filePath("o/outbox");
    quint64 last = 0;
    {
        Outbox box(path, limit);
        QVERIFY(box.open());
        for (int i = 1; i <= pushed; ++i)
            last = box.push({"t", QByteArray::number(i)});
        QCOMPARE(box.dropped(), quint64(dropped));
        for (int i = 0; i < removed; ++i)
            box.remove(box.from(0)->first);
        QCOMPARE(box.size(), pushed - dropped - removed);
    }
    Outbox again(path, limit);
    QVERIFY(again.open());
    QCOMPARE(again.size(), pushed - dropped - removed);
    int expected = firstLeft;
    for (auto it = again.from(0); it != again.end(); ++it) // in order, none lost
        QCOMPARE(it->second.payload, QByteArray::number(expected++));
    QCOMPARE(expected - firstLeft, again.size());
    QVERIFY(again.push({"t", "next"}) > last); // numbers never reused
}

// A disk that refuses the journal's writes: nothing held is lost, the failure is known,
// and the first change that can be written writes the journal whole again.
void TestGateway::outboxOnAFullDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("outbox");
    Outbox box(path, 100);
    QVERIFY(box.open());
    box.push({"t", "1"});
    {
        const WriteLimit full(rlim_t(QFileInfo(path).size() + 4)); // the next record is cut
        QVERIFY(full.isActive());
        box.push({"t", "2"});
        QVERIFY(!box.onDisk());
        QVERIFY2(box.error().startsWith(path), qPrintable(box.error()));
        box.push({"t", "3"}); // the journal written whole: cut short too
        QVERIFY(!box.onDisk());
        box.remove(box.from(0)->first); // "1" acknowledged meanwhile
        QCOMPARE(box.size(), 2);
    }
    box.push({"t", "4"});
    QVERIFY(box.onDisk());
    Outbox again(path, 100);
    QVERIFY(again.open());
    QByteArrayList payloads;
    for (auto it = again.from(0); it != again.end(); ++it)
        payloads << it->second.payload;
    QCOMPARE(payloads, (QByteArrayList {"2", "3", "4"}));
}

// mqtts:// with the plant's own certificate authority and a user with a password: the
// gateway verifies the broker and logs in, and what it publishes arrives.
void TestGateway::secureBroker()
{
    for (const char *name : {"mosquitto", "mosquitto_sub", "mosquitto_passwd", "openssl"})
        if (tool(name).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(name)));
    QTemporaryDir dir;
    QString why;
    QVERIFY2(makeCertificates(dir.path(), why), qPrintable(why));
    QVERIFY2(runTool("mosquitto_passwd", {"-b", "-c", "passwd", "plant", "s3cret"}, dir.path(), why), qPrintable(why));
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    QString conf = QStringLiteral("listener %1 127.0.0.1\ncafile %2/ca.crt\ncertfile %2/server.crt\n"
                                  "keyfile %2/server.key\nallow_anonymous false\npassword_file %2/passwd\n")
                       .arg(port).arg(dir.path());
    if (geteuid() == 0) // it would change to its own user, who cannot read the test's key
        conf += "user root\n";
    QVERIFY(DataDirectory::writeFile(dir.filePath("mosquitto.conf"), conf.toUtf8()));
    Peer broker;
    broker.process.start(tool("mosquitto"), {"-c", dir.filePath("mosquitto.conf")});
    QVERIFY(listening(port));
    Peer sub;
    sub.process.start(tool("mosquitto_sub"), {"-h", "127.0.0.1", "-p", QString::number(port), "--cafile",
                                              dir.filePath("ca.crt"), "-u", "plant", "-P", "s3cret", "-v", "-t", "orbix/#"});
    QVERIFY(sub.process.waitForStarted());

    Simulator sim;
    sim.addDevice({});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(DataDirectory::writeFile(dir.filePath("password"), "s3cret\n"));
    const QJsonObject config {
        {"format", "orbix-gateway"}, {"version", 1}, {"name", "tls"},
        {"mqtt", QJsonObject {{"url", QStringLiteral("mqtts://127.0.0.1:%1").arg(port)}, {"caFile", dir.filePath("ca.crt")},
                              {"username", "plant"}, {"passwordFile", dir.filePath("password")},
                              {"outbox", dir.filePath("outbox")}}},
        {"timing", QJsonObject {{"pollPeriodMs", 100}, {"replyGapMs", kTestReplyGapMs}}},
        {"lines", QJsonArray {QJsonObject {{"name", "pty"}, {"port", sim.linkPath()}, {"addresses", QJsonArray {1}}}}}};
    QVERIFY(DataDirectory::writeFile(dir.filePath("gateway.json"), QJsonDocument(config).toJson()));
    Peer gateway;
    gateway.process.start(ORBIX_GATEWAY, {"--config", dir.filePath("gateway.json")});
    QVERIFY(gateway.process.waitForStarted());
    QVERIFY2(sub.wait("orbix/tls/status") == "online", qPrintable(gateway.errors()));
    QVERIFY(!sub.wait("orbix/tls/pty/1/state", {"\"link\":\"up\""}).isEmpty());
    gateway.process.terminate();
    QVERIFY(gateway.process.waitForFinished(5000));
    QCOMPARE(gateway.process.exitCode(), 0);
    QCOMPARE(sub.wait("orbix/tls/status", {"offline"}), QString("offline"));
}

void TestGateway::pollerPaces_data()
{
    QTest::addColumn<bool>("answers"); // device 2
    QTest::newRow("all answer") << true;
    QTest::newRow("one silent") << false;
}

// Devices that answer are polled at the poll period; one that does not is tried at the
// retry period and does not hold the others back.
void TestGateway::pollerPaces()
{
    QFETCH(bool, answers);
    Simulator sim;
    for (int a : {1, 2, 3}) {
        SimDeviceConfig c;
        c.address = a;
        sim.addDevice(c);
    }
    if (!answers)
        sim.setFault({SimFault::NoReply}, -1, 2);
    QVERIFY(sim.start());
    RecordingSink sink;
    LinePoller::Line line;
    line.name = "L";
    line.devicePath = sim.linkPath();
    line.addresses = {1, 2, 3};
    line.timing.replyGapMs = kTestReplyGapMs;
    line.timing.cyclePeriodMs = 300; // longer than a round of the line: the period paces it
    line.timing.readTimeoutMs = 200;
    line.timing.probeTimeoutMs = 100;
    line.retryPeriodMs = 1000;
    LinePoller poller(line, sink);
    QElapsedTimer clock;
    clock.start();
    poller.start();
    QVERIFY(QTest::qWaitFor([&] { return sink.count(3, true) >= 4; }, kWaitMs));
    poller.stop();
    const double periods = clock.elapsed() / 300.0;
    const int first = sink.count(1, true);
    QVERIFY2(first >= 4 && first <= periods + 1.5, qPrintable(QStringLiteral("%1 in %2 periods").arg(first).arg(periods)));
    if (answers) {
        QVERIFY(sink.count(2, true) >= 3);
        QCOMPARE(sink.count(2, false), 0);
    } else {
        QCOMPARE(sink.count(2, true), 0);
        QVERIFY2(sink.count(2, false) <= periods * 0.3 + 1, qPrintable(QString::number(sink.count(2, false))));
    }
    QCOMPARE(sink.identified.value(1).modification, 70);
}

// A device that stops answering is reported lost once, restored once when it answers again.
namespace {
// Device 1 of the simulator polled at the tests' pace.
LinePoller::Line fastLine(const Simulator &sim)
{
    LinePoller::Line line;
    line.name = "L";
    line.devicePath = sim.linkPath();
    line.addresses = {1};
    line.timing.replyGapMs = kTestReplyGapMs;
    line.timing.cyclePeriodMs = 50;
    line.timing.readTimeoutMs = 150;
    line.timing.probeTimeoutMs = 100;
    line.retryPeriodMs = 100;
    return line;
}
} // namespace

void TestGateway::pollerLinkLostAndRestored()
{
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    RecordingSink sink;
    LinePoller poller(fastLine(sim), sink);
    poller.start();
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Get) >= 2; }, kWaitMs));
    QCOMPARE(sink.events(DataEvent::Connected), 1);
    QVERIFY(sink.events(DataEvent::GetProtocol) >= 1); // what the logs already hold
    sim.setFault({SimFault::NoReply});
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Error) == 1; }, kWaitMs));
    sim.clearFaults();
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::LinkRestored) == 1; }, kWaitMs));
    poller.stop();
    QCOMPARE(sink.events(DataEvent::Error), 1);
    QCOMPARE(sink.identified.size(), 1);
}

// Each oscillogram the device stores is news once, a second trip of the same kind too;
// the one it held before the poller came is not.
void TestGateway::pollerSeesEachNewOscillogram()
{
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    sim.injectTrip(1, 31);
    RecordingSink sink;
    LinePoller poller(fastLine(sim), sink);
    poller.start();
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Get) >= 2; }, kWaitMs));
    QCOMPARE(sink.events(DataEvent::OscillogramGet), 0);
    sim.injectTrip(1, 32);
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::OscillogramGet) == 1; }, kWaitMs));
    // The same fault again, later: the device's new oscillogram differs in its trip time.
    sim.setRegisterValue(1, 301, quint16(sim.registerValue(1, 301) + 7));
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::OscillogramGet) == 2; }, kWaitMs));
    const int gets = sink.events(DataEvent::Get);
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Get) >= gets + 2; }, kWaitMs));
    poller.stop();
    QCOMPARE(sink.events(DataEvent::OscillogramGet), 2);
}

void TestGateway::pollerKeepsToNews_data()
{
    QTest::addColumn<bool>("replaced"); // the unit swapped for one with older logs; else a trip while away
    QTest::addColumn<int>("earlier"); // seconds the trip's oscillogram is stamped before its crash record
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("replacedRecords");
    QTest::addColumn<bool>("tripBeforeSwap");
    QTest::newRow("trip while the link was down")
        << false << 0 << QStringList {"trip 31", "oscillogram 31", "trip 33", "oscillogram 33"} << QList<int> {}
        << false;
    QTest::newRow("oscillogram stamped before its record")
        << false << 2 << QStringList {"trip 31", "oscillogram 31", "trip 33", "oscillogram 33"} << QList<int> {}
        << false;
    // The simulator's fresh logs: two crash records and four work entries, all older
    // than the trip before the swap; its oscillogram too.
    QTest::newRow("unit replaced, its logs older")
        << true << 0 << QStringList {"trip 32", "oscillogram 32", "trip 33", "oscillogram 33"} << QList<int> {6}
        << true;
    // The new unit's logs are newer than the first unit's (made a little later) but older
    // than its clock when the link went: still no news.
    QTest::newRow("unit replaced, no trip seen before")
        << true << 0 << QStringList {"trip 33", "oscillogram 33"} << QList<int> {6} << false;
}

// What a device holds when it answers again is news only when it is not older than its
// clock at the last look: a trip while the link was down is; another unit's old logs are
// not (one notice instead), nor its oscillogram. A trip is handed on before its oscillogram.
void TestGateway::pollerKeepsToNews()
{
    QFETCH(bool, replaced);
    QFETCH(int, earlier);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, replacedRecords);
    QFETCH(bool, tripBeforeSwap);
    QTemporaryDir dir;
    const QString port = dir.filePath("line"); // the same port for the unit that replaces it
    const qint64 made = QDateTime::currentSecsSinceEpoch(); // the fresh logs' times follow it
    auto sim = std::make_unique<Simulator>();
    sim->addDevice({});
    QVERIFY2(sim->start(port), qPrintable(sim->errorString()));
    RecordingSink sink;
    LinePoller::Line line = fastLine(*sim);
    line.devicePath = port;
    LinePoller poller(line, sink);
    poller.start();
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Get) >= 2; }, kWaitMs));
    if (replaced) {
        if (tripBeforeSwap) {
            sim->injectTrip(1, 32);
            QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::OscillogramGet) == 1; }, kWaitMs));
        }
        sim.reset();
        QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Error) == 1; }, kWaitMs));
        // Logs of a later second than the first unit's, or they would be the same records.
        QVERIFY(QTest::qWaitFor([&] { return QDateTime::currentSecsSinceEpoch() > made; }, kWaitMs));
        sim = std::make_unique<Simulator>();
        sim->addDevice({});
        QVERIFY2(sim->start(port), qPrintable(sim->errorString()));
    } else {
        sim->setFault({SimFault::NoReply});
        QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Error) == 1; }, kWaitMs));
        sim->injectTrip(1, 31);
        sim->setRegisterValue(1, 301, quint16(sim->registerValue(1, 301) - earlier));
        sim->clearFaults();
    }
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::LinkRestored) == 1; }, kWaitMs));
    const int gets = sink.events(DataEvent::Get);
    QVERIFY(QTest::qWaitFor([&] { return sink.events(DataEvent::Get) >= gets + 3; }, kWaitMs));
    sim->injectTrip(1, 33);
    QVERIFY2(QTest::qWaitFor([&] { return sink.handedOn().contains("oscillogram 33"); }, kWaitMs),
             qPrintable(sink.handedOn().join(", ")));
    poller.stop();
    QCOMPARE(sink.handedOn(), expected);
    QCOMPARE(sink.replaced, replacedRecords);
}

// The whole program with a device replaced on its port by one with older logs: the
// broker and the history get the trips before and after, none of the new unit's old
// records; the log says so once; each trip's event comes before its oscillogram.
void TestGateway::gatewayKeepsToNews()
{
    for (const char *name : {"mosquitto", "mosquitto_sub"})
        if (tool(name).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(name)));
    QTemporaryDir dir;
    const quint16 brokerPort = SimTcpServer::unusedLoopbackPort();
    Peer broker;
    QVERIFY(startBroker(broker, brokerPort, dir.path()));
    Peer sub;
    subscribe(sub, brokerPort);
    const QString port = dir.filePath("line");
    const qint64 made = QDateTime::currentSecsSinceEpoch();
    auto sim = std::make_unique<Simulator>();
    sim->addDevice({});
    QVERIFY2(sim->start(port), qPrintable(sim->errorString()));
    const QJsonObject config {
        {"format", "orbix-gateway"}, {"version", 1}, {"name", "news"},
        {"mqtt", QJsonObject {{"url", QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort)},
                              {"outbox", dir.filePath("outbox")}}},
        {"history", QJsonObject {{"db", dir.filePath("history.sqlite")}}},
        {"timing", QJsonObject {{"pollPeriodMs", 50}, {"retryPeriodMs", 100}, {"readTimeoutMs", 300},
                                {"replyGapMs", kTestReplyGapMs}}},
        {"lines", QJsonArray {QJsonObject {{"name", "L"}, {"port", port}, {"addresses", QJsonArray {1}}}}}};
    QVERIFY(DataDirectory::writeFile(dir.filePath("gateway.json"), QJsonDocument(config).toJson()));
    Peer gateway;
    gateway.process.start(ORBIX_GATEWAY, {"--config", dir.filePath("gateway.json")});
    QVERIFY(gateway.process.waitForStarted());
    QVERIFY2(!sub.wait("orbix/news/L/1/state", {"\"link\":\"up\""}).isEmpty(), qPrintable(gateway.errors()));
    sim->injectTrip(1, 32);
    QVERIFY2(!sub.wait("orbix/news/L/1/oscillogram", {"\"faultCode\":32"}).isEmpty(), qPrintable(gateway.errors()));
    sim.reset();
    QVERIFY2(QTest::qWaitFor([&] { return gateway.errors().contains("address 1: link lost"); }, kWaitMs),
             qPrintable(gateway.errors()));
    QVERIFY(QTest::qWaitFor([&] { return QDateTime::currentSecsSinceEpoch() > made; }, kWaitMs));
    sim = std::make_unique<Simulator>();
    sim->addDevice({});
    QVERIFY2(sim->start(port), qPrintable(sim->errorString()));
    QVERIFY2(QTest::qWaitFor([&] { return gateway.errors().contains("address 1: link restored"); }, kWaitMs),
             qPrintable(gateway.errors()));
    sim->injectTrip(1, 33);
    QVERIFY2(!sub.wait("orbix/news/L/1/oscillogram", {"\"faultCode\":33"}).isEmpty(), qPrintable(gateway.errors()));
    gateway.process.terminate();
    QVERIFY2(gateway.process.waitForFinished(5000), qPrintable(gateway.errors()));
    const QString log = gateway.errors();
    QCOMPARE(log.count("the device's logs were replaced (6 records from before its last look); not published"), 1);
    QVERIFY2(log.contains("address 1: trip, fault 33 (no text for this code)"), qPrintable(log));

    QStringList published; // what came for the device, in order
    for (const QString &l : sub.lines) {
        const QJsonObject o = QJsonDocument::fromJson(l.section(' ', 1).toUtf8()).object();
        if (l.startsWith("orbix/news/L/1/oscillogram "))
            published << QStringLiteral("oscillogram %1").arg(o["faultCode"].toInt());
        else if (l.startsWith("orbix/news/L/1/event ") && o["event"] != "linkLost" && o["event"] != "linkRestored")
            published << QStringLiteral("%1 %2").arg(o["event"].toString()).arg(o["faultCode"].toInt());
    }
    QCOMPARE(published, QStringList({"trip 32", "oscillogram 32", "trip 33", "oscillogram 33"}));

    HistoryStore history;
    QVERIFY2(history.open(dir.filePath("history.sqlite"), true), qPrintable(history.error()));
    QCOMPARE(history.devices().size(), 1);
    const qint64 id = history.devices()[0].id;
    QList<int> trips; // the first unit's two records before the gateway came, then the news
    for (const HistoryEvent &e : history.events(id, 0, std::numeric_limits<qint64>::max()))
        if (e.source == HistoryEvent::CrashLog)
            trips << e.code;
    std::sort(trips.begin(), trips.end());
    QCOMPARE(trips, QList<int>({10, 31, 32, 33}));
    QList<int> oscillograms;
    for (const HistoryOscillogram &o : history.oscillograms(id))
        oscillograms << o.faultCode;
    std::sort(oscillograms.begin(), oscillograms.end());
    QCOMPARE(oscillograms, QList<int>({32, 33}));
}

namespace {
// A gateway of one line to device 1 of the simulator, with metrics only.
GatewayConfig metricsGateway(const Simulator &sim, quint16 metricsPort)
{
    const QJsonObject o {
        {"format", "orbix-gateway"}, {"version", 1}, {"name", "m"},
        {"metrics", QJsonObject {{"listen", QStringLiteral("127.0.0.1:%1").arg(metricsPort)}}},
        {"timing", QJsonObject {{"pollPeriodMs", 50}, {"retryPeriodMs", 100}, {"readTimeoutMs", 150},
                                {"replyGapMs", kTestReplyGapMs}}},
        {"lines", QJsonArray {QJsonObject {{"name", "L"}, {"port", sim.linkPath()}, {"addresses", QJsonArray {1}}}}}};
    QString error;
    const GatewayConfig c = GatewayConfig::parse(QJsonDocument(o).toJson(), error);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return c;
}

// The scrape, once it shows the device's link as up (1) or down (0).
QByteArray scrapeWithLink(quint16 port, int up)
{
    const QByteArray link = "orbix_link_up{address=\"1\",line=\"L\"} " + QByteArray::number(up);
    QByteArray m;
    (void)QTest::qWaitFor([&] {
        m = httpGet(port, "/metrics");
        return series(m, link).size() == 1 && (up == 0 || !series(m, "orbix_fault_code{").isEmpty());
    }, kWaitMs);
    return m;
}
} // namespace

void TestGateway::metricsPt100_data()
{
    QTest::addColumn<int>("reading"); // register 41
    QTest::addColumn<QString>("state");
    QTest::newRow("ok") << 21 << "ok";
    QTest::newRow("open") << 999 << "open";
    QTest::newRow("shorted") << -99 << "shorted";
}

// The sensor's state beside its temperature; no temperature while it is open or shorted.
void TestGateway::metricsPt100()
{
    QFETCH(int, reading);
    QFETCH(QString, state);
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    sim.setRegisterValue(1, 41, quint16(qint16(reading)));
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    GatewayRunner gateway(metricsGateway(sim, port));
    QString error;
    QVERIFY2(gateway.start(error), qPrintable(error));
    const QByteArray m = scrapeWithLink(port, 1);
    for (const QString s : {"ok", "open", "shorted"}) {
        const QByteArray one = QStringLiteral("orbix_pt100_state{address=\"1\",line=\"L\",state=\"%1\"} %2")
                                   .arg(s).arg(s == state ? 1 : 0).toUtf8();
        QVERIFY2(series(m, one).size() == 1, m.constData());
    }
    const QByteArrayList celsius = series(m, "orbix_pt100_celsius{");
    QCOMPARE(celsius, state == "ok" ? QByteArrayList {"orbix_pt100_celsius{address=\"1\",line=\"L\"} 21"}
                                    : QByteArrayList {});
    QVERIFY2(series(m, "orbix_heating_ratio{address=\"1\",line=\"L\"} 0").size() == 1, m.constData());
}

// HEAD /metrics answers, other paths are 404; clients that hold connections open
// without a request do not keep a scrape waiting; a line's failed visits are there at 0
// before the first failure; the history's losses are read as the visits go.
void TestGateway::metricsServer()
{
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    GatewayRunner gateway(metricsGateway(sim, port));
    gateway.setHistoryLost([] { return quint64(5); });
    QString error;
    QVERIFY2(gateway.start(error), qPrintable(error));
    const QByteArray m = scrapeWithLink(port, 1);
    QVERIFY2(series(m, "orbix_device_visits_total{line=\"L\",result=\"failed\"} 0").size() == 1, m.constData());
    QVERIFY2(series(m, "orbix_device_visits_total{line=\"L\",result=\"ok\"} ").size() == 1, m.constData());
    QVERIFY(QTest::qWaitFor([&] { return httpGet(port, "/metrics").contains("\norbix_history_lost_samples_total 5\n"); },
                            kWaitMs));
    const QByteArray head = httpRequest(port, "HEAD", "/metrics");
    QVERIFY2(head.startsWith("HTTP/1.1 200 ") && head.endsWith("\r\n\r\n") && head.contains("Content-Type: text/plain"),
             head.constData());
    for (const char *path : {"/", "/metrics/x", "/other"})
        QVERIFY2(httpRequest(port, "GET", path).startsWith("HTTP/1.0 404 "), path);
    int idle[4];
    for (int &fd : idle)
        fd = connectLoopback(port);
    QElapsedTimer clock;
    clock.start();
    const QByteArray scraped = httpGet(port, "/metrics");
    const qint64 took = clock.elapsed();
    for (int fd : idle)
        if (fd >= 0)
            close(fd);
    QVERIFY(std::all_of(std::begin(idle), std::end(idle), [](int fd) { return fd >= 0; }));
    QVERIFY2(!scraped.isEmpty() && took < 2000, qPrintable(QStringLiteral("scraped in %1 ms").arg(took)));
}

// A device whose link is down has no values: the last ones read are not its state.
void TestGateway::metricsWhileLinkDown()
{
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    GatewayRunner gateway(metricsGateway(sim, port));
    QString error;
    QVERIFY2(gateway.start(error), qPrintable(error));
    const char *const values[] = {"orbix_phase_current_amperes{", "orbix_phase_voltage_volts{", "orbix_pt100_celsius{",
                                  "orbix_pt100_state{", "orbix_heating_ratio{", "orbix_fault_code{",
                                  "orbix_motor_running{"};
    QByteArray m = scrapeWithLink(port, 1);
    for (const char *name : values)
        QVERIFY2(!series(m, name).isEmpty(), name);
    sim.setFault({SimFault::NoReply});
    m = scrapeWithLink(port, 0);
    QVERIFY2(series(m, "orbix_link_up{address=\"1\",line=\"L\"} 0").size() == 1, m.constData());
    for (const char *name : values)
        QVERIFY2(series(m, name).isEmpty(), name);
    sim.clearFaults();
    m = scrapeWithLink(port, 1);
    QVERIFY2(series(m, "orbix_phase_current_amperes{").size() == 3, m.constData());
}

// The broker's connection and the outbox as they are at the scrape, not as they were at
// the last visit of a device: a line whose devices are all silent is visited seldom.
void TestGateway::metricsOfABrokerThatCameLater()
{
    if (tool("mosquitto").isEmpty())
        QSKIP("mosquitto is not installed");
    QTemporaryDir dir;
    Simulator sim;
    sim.addDevice({});
    sim.setFault({SimFault::NoReply});
    QVERIFY(sim.start());
    const quint16 metricsPort = SimTcpServer::unusedLoopbackPort();
    const quint16 brokerPort = SimTcpServer::unusedLoopbackPort();
    GatewayConfig config = metricsGateway(sim, metricsPort);
    config.retryPeriodMs = 600000;
    GatewayConfig::Mqtt mqtt;
    mqtt.host = QStringLiteral("127.0.0.1");
    mqtt.port = brokerPort;
    mqtt.prefix = QStringLiteral("orbix");
    mqtt.outboxFile = dir.filePath("outbox");
    config.mqtt = mqtt;
    GatewayRunner gateway(config);
    QString error;
    QVERIFY2(gateway.start(error), qPrintable(error));
    QVERIFY(QTest::qWaitFor([&] { return httpGet(metricsPort, "/metrics").contains("\norbix_mqtt_connected 0\n"); },
                            kWaitMs));
    Peer broker;
    QVERIFY(startBroker(broker, brokerPort, dir.path()));
    QVERIFY(QTest::qWaitFor([&] { return httpGet(metricsPort, "/metrics").contains("\norbix_mqtt_connected 1\n"); },
                            kWaitMs));
}

namespace {
// The value of the one series named so in the scrape; -1 when it is not there.
double valueOf(const QByteArray &metrics, const QByteArray &series)
{
    for (const QByteArray &l : metrics.split('\n'))
        if (l.startsWith(series + ' '))
            return l.mid(series.size() + 1).toDouble();
    return -1;
}

QByteArray errorsOf(int address, const char *kind)
{
    return QByteArray("orbix_device_errors_total{address=\"") + QByteArray::number(address) + "\",kind=\"" + kind
           + "\",line=\"L\"}";
}

const char *const kErrorKinds[] = {"timeout", "crc", "exception", "other_address", "line_error"};
} // namespace

void TestGateway::metricsOfEachRequest_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("kind");
    QTest::newRow("no reply") << int(SimFault::NoReply) << "timeout";
    QTest::newRow("bad crc") << int(SimFault::BadCrc) << "crc";
    QTest::newRow("exception") << int(SimFault::Exception) << "exception";
    QTest::newRow("another slave answers") << int(SimFault::WrongAddress) << "other_address";
}

// One spoiled reply is one error of its kind for its device, and of no other kind; an
// absent device's requests time out; every request is timed and the line's busy time
// counted.
void TestGateway::metricsOfEachRequest()
{
    QFETCH(int, fault);
    QFETCH(QString, kind);
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    GatewayConfig config = metricsGateway(sim, port);
    config.lines[0].addresses = {1, 2};
    config.readTimeoutMs = 1000; // a loaded machine's late reply is no time-out of the row's
    GatewayRunner gateway(config);
    QString error;
    QVERIFY2(gateway.start(error), qPrintable(error));
    QByteArray m = scrapeWithLink(port, 1);
    for (const char *k : kErrorKinds)
        QVERIFY2(valueOf(m, errorsOf(1, k)) == 0, m.constData());
    sim.setFault({SimFault::Kind(fault)}, 1, 1);
    const QByteArray spoiled = errorsOf(1, qPrintable(kind));
    QVERIFY2(QTest::qWaitFor([&] {
        m = httpGet(port, "/metrics");
        return valueOf(m, spoiled) == 1 && valueOf(m, errorsOf(2, "timeout")) >= 1;
    }, kWaitMs), m.constData());
    for (const char *k : kErrorKinds) {
        if (qstrcmp(k, "timeout") != 0)
            QVERIFY2(valueOf(m, errorsOf(2, k)) == 0, k);
        if (kind != k)
            QVERIFY2(valueOf(m, errorsOf(1, k)) == 0, k);
    }
    QVERIFY2(valueOf(m, "orbix_request_duration_seconds_count{address=\"1\",line=\"L\"}") > 1, m.constData());
    // Device 2's requests wait out the second's time-out.
    QVERIFY2(valueOf(m, "orbix_request_duration_seconds_bucket{address=\"2\",line=\"L\",le=\"0.5\"}") == 0, m.constData());
    const double ratio = valueOf(m, "orbix_line_busy_ratio{line=\"L\"}");
    QVERIFY2(ratio > 0.1 && ratio <= 1, m.constData());
    QVERIFY2(valueOf(m, "orbix_line_busy_seconds_total{line=\"L\"}") >= 1, m.constData());
}

// The figures of the masters sharing a line and of each request as Prometheus reads
// them: buckets as counted, every error kind of a device from its first request, one
// quality set; promtool takes the whole.
void TestGateway::metricsOfTheMasters()
{
    using Kind = PollerSink::RequestKind;
    MetricsExporter exporter;
    const quint16 port = SimTcpServer::unusedLoopbackPort();
    QString error;
    QVERIFY2(exporter.listen(QStringLiteral("127.0.0.1:%1").arg(port), error), qPrintable(error));
    exporter.addLine("L");
    exporter.masterRequest("L", "192.0.2.7", "answered");
    exporter.masterRequest("L", "192.0.2.7", "answered");
    exporter.masterRequest("L", "192.0.2.8", "busy");
    exporter.masterWait("L", 0.03);
    exporter.masterWait("L", 3);
    exporter.request("L", 5, 0.004, Kind::Answered);
    exporter.request("L", 5, 1.5, Kind::Timeout);
    exporter.request("L", 5, 0.05, Kind::Crc);
    exporter.quality("L", 5, ReadingQuality::Value::Good);
    exporter.quality("L", 5, ReadingQuality::Value::Stale);
    exporter.lineBusy("L", 0.25, 7.5);
    exporter.lineBusy("L", 0.2, 7.0); // a total read a little early never takes the counter back
    const QByteArray m = httpGet(port, "/metrics");
    const QList<QPair<QByteArray, double>> expected {
        {"orbix_master_requests_total{client=\"192.0.2.7\",line=\"L\",result=\"answered\"}", 2},
        {"orbix_master_requests_total{client=\"192.0.2.8\",line=\"L\",result=\"busy\"}", 1},
        {"orbix_master_wait_seconds_bucket{line=\"L\",le=\"0.02\"}", 0},
        {"orbix_master_wait_seconds_bucket{line=\"L\",le=\"0.05\"}", 1},
        {"orbix_master_wait_seconds_bucket{line=\"L\",le=\"5\"}", 2},
        {"orbix_master_wait_seconds_count{line=\"L\"}", 2},
        {"orbix_request_duration_seconds_bucket{address=\"5\",line=\"L\",le=\"0.002\"}", 0},
        {"orbix_request_duration_seconds_bucket{address=\"5\",line=\"L\",le=\"0.005\"}", 1},
        {"orbix_request_duration_seconds_bucket{address=\"5\",line=\"L\",le=\"0.05\"}", 2},
        {"orbix_request_duration_seconds_bucket{address=\"5\",line=\"L\",le=\"1\"}", 2},
        {"orbix_request_duration_seconds_bucket{address=\"5\",line=\"L\",le=\"2\"}", 3},
        {errorsOf(5, "timeout"), 1},
        {"orbix_device_errors_total{address=\"5\",kind=\"crc\",line=\"L\"}", 1},
        {"orbix_device_errors_total{address=\"5\",kind=\"exception\",line=\"L\"}", 0},
        {"orbix_device_errors_total{address=\"5\",kind=\"other_address\",line=\"L\"}", 0},
        {"orbix_device_errors_total{address=\"5\",kind=\"line_error\",line=\"L\"}", 0},
        {"orbix_reading_quality{address=\"5\",line=\"L\",quality=\"good\"}", 0},
        {"orbix_reading_quality{address=\"5\",line=\"L\",quality=\"stale\"}", 1},
        {"orbix_reading_quality{address=\"5\",line=\"L\",quality=\"down\"}", 0},
        {"orbix_line_busy_ratio{line=\"L\"}", 0.2},
        {"orbix_line_busy_seconds_total{line=\"L\"}", 7.5}};
    for (const auto &e : expected)
        QVERIFY2(valueOf(m, e.first) == e.second, QByteArray(e.first + "\n" + m).constData());
    QVERIFY2(!m.contains("kind=\"answered\""), m.constData());
    if (tool("promtool").isEmpty())
        QSKIP("promtool is not installed");
    QProcess promtool;
    promtool.start(tool("promtool"), {"check", "metrics"});
    promtool.write(m);
    promtool.closeWriteChannel();
    QVERIFY(promtool.waitForFinished(10000));
    QVERIFY2(promtool.exitCode() == 0, QByteArray(promtool.readAllStandardOutput() + promtool.readAllStandardError()).constData());
}

namespace {
// A sink that holds the line's thread in its first call while told to, as a line hung
// in a request would; released at the latest after 30 s.
struct HoldingSink : PollerSink {
    std::mutex lock;
    std::condition_variable changed;
    bool hold = false;
    bool held = false;
    void deviceIdentified(const QString &, const DeviceInfo &) override {}
    void transaction(const QString &, int, bool) override {}
    void deviceEvent(const QString &, const DeviceInfo &, const DataEventPtr &) override
    {
        std::unique_lock<std::mutex> guard(lock);
        held = hold;
        changed.wait_for(guard, std::chrono::seconds(30), [this] { return !hold; });
        held = false;
    }
    void setHold(bool on)
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            hold = on;
        }
        changed.notify_all();
    }
    bool isHeld()
    {
        std::lock_guard<std::mutex> guard(lock);
        return held;
    }
};

// The state the subscriber got last on the topic with quality, once it came.
QJsonObject stateWith(Peer &sub, const QString &topic, const QString &quality)
{
    sub.lines.clear();
    const QString payload = sub.wait(topic, {QStringLiteral("\"quality\":\"%1\"").arg(quality)});
    return QJsonDocument::fromJson(payload.toUtf8()).object();
}
} // namespace

// A line whose thread is stuck publishes nothing, yet its devices' states turn stale
// three poll periods after the last reading, and good again with the next; a lost
// link is down. since is when the quality took its value.
void TestGateway::qualityOfAStuckLine()
{
    for (const char *name : {"mosquitto", "mosquitto_sub"})
        if (tool(name).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(name)));
    QTemporaryDir dir;
    const quint16 brokerPort = SimTcpServer::unusedLoopbackPort();
    Peer broker;
    QVERIFY(startBroker(broker, brokerPort, dir.path()));
    Peer sub;
    subscribe(sub, brokerPort);
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    const quint16 metricsPort = SimTcpServer::unusedLoopbackPort();
    GatewayConfig config = metricsGateway(sim, metricsPort);
    GatewayConfig::Mqtt mqtt;
    mqtt.host = QStringLiteral("127.0.0.1");
    mqtt.port = brokerPort;
    mqtt.outboxFile = dir.filePath("outbox");
    config.mqtt = mqtt;
    HoldingSink sink;
    GatewayRunner gateway(config);
    gateway.addSink(&sink);
    struct Release {
        HoldingSink &sink;
        ~Release() { sink.setHold(false); } // before the gateway stops its line
    } release {sink};
    QString error;
    QVERIFY2(gateway.start(error), qPrintable(error));
    const QString topic = "orbix/m/L/1/state";
    const QJsonObject good = stateWith(sub, topic, "good");
    QVERIFY2(!good.isEmpty(), qPrintable(sub.lines.join('\n')));
    QVERIFY(good["since"].toDouble() <= good["time"].toDouble());

    sink.setHold(true);
    QVERIFY(QTest::qWaitFor([&] { return sink.isHeld(); }, kWaitMs));
    const QJsonObject stale = stateWith(sub, topic, "stale");
    QVERIFY2(!stale.isEmpty(), qPrintable(sub.lines.join('\n')));
    QVERIFY(sink.isHeld());
    QCOMPARE(stale["link"].toString(), QString("up"));
    QVERIFY2(stale["since"].toDouble() - 0.15 >= good["since"].toDouble() - 1e-6
                 && stale["since"].toDouble() <= stale["time"].toDouble(),
             qPrintable(QJsonDocument(stale).toJson()));
    QVERIFY(QTest::qWaitFor([&] {
        return valueOf(httpGet(metricsPort, "/metrics"),
                       "orbix_reading_quality{address=\"1\",line=\"L\",quality=\"stale\"}") == 1;
    }, kWaitMs));

    sink.setHold(false);
    const QJsonObject again = stateWith(sub, topic, "good");
    QVERIFY2(!again.isEmpty(), qPrintable(sub.lines.join('\n')));
    QVERIFY(again["since"].toDouble() > stale["since"].toDouble());

    sim.setFault({SimFault::NoReply});
    const QJsonObject down = stateWith(sub, topic, "down");
    QVERIFY2(!down.isEmpty(), qPrintable(sub.lines.join('\n')));
    QCOMPARE(down["link"].toString(), QString("down"));
    QVERIFY(down["since"].toDouble() >= again["since"].toDouble());
    QVERIFY(QTest::qWaitFor([&] {
        return valueOf(httpGet(metricsPort, "/metrics"),
                       "orbix_reading_quality{address=\"1\",line=\"L\",quality=\"down\"}") == 1;
    }, kWaitMs));
}

void TestGateway::logForm_data()
{
    QTest::addColumn<int>("journal"); // JOURNAL_STREAM: 0 unset, 1 the log file's, 2 another file's
    QTest::addColumn<QString>("pattern");
    const QString stamped = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \S)";
    QTest::newRow("file") << 0 << stamped;
    QTest::newRow("journal") << 1 << "^<[3-6]>\\S";
    QTest::newRow("journal of another service") << 2 << stamped;
}

// The log in a file has time stamps; on the journal each line starts with its priority.
// The identification names the line's port.
void TestGateway::logForm()
{
    QFETCH(int, journal);
    QFETCH(QString, pattern);
    Simulator sim;
    sim.addDevice({});
    QVERIFY(sim.start());
    QTemporaryDir dir;
    const QJsonObject config {
        {"format", "orbix-gateway"}, {"version", 1}, {"name", "log"},
        {"timing", QJsonObject {{"pollPeriodMs", 100}, {"replyGapMs", kTestReplyGapMs}}},
        {"lines", QJsonArray {QJsonObject {{"name", "pty"}, {"port", sim.linkPath()}, {"addresses", QJsonArray {1}}}}}};
    QVERIFY(DataDirectory::writeFile(dir.filePath("gateway.json"), QJsonDocument(config).toJson()));
    const QString log = dir.filePath("stderr");
    QVERIFY(DataDirectory::writeFile(log, {}));
    struct stat st {};
    QCOMPARE(stat(QFile::encodeName(log).constData(), &st), 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("JOURNAL_STREAM");
    if (journal > 0)
        env.insert("JOURNAL_STREAM", QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino) + (journal == 2)));
    Peer gateway;
    gateway.process.setProcessEnvironment(env);
    gateway.process.setStandardErrorFile(log, QIODevice::Append);
    gateway.process.start(ORBIX_GATEWAY, {"--config", dir.filePath("gateway.json")});
    QVERIFY(gateway.process.waitForStarted());
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text;
    QVERIFY2(QTest::qWaitFor([&] {
        text += QString::fromUtf8(file.readAll());
        return text.contains("address 1: ОРБИКС-11");
    }, kWaitMs), qPrintable(text));
    gateway.process.terminate();
    QVERIFY(gateway.process.waitForFinished(5000));
    text += QString::fromUtf8(file.readAll());
    const QRegularExpression form(pattern);
    for (const QString &l : text.split('\n', Qt::SkipEmptyParts))
        QVERIFY2(form.match(l).hasMatch(), qPrintable(l));
    QVERIFY2(text.contains(QStringLiteral("address 1: ОРБИКС-11 5.0-50.0 v0.7/1/19200/8E1 on %1\n").arg(sim.linkPath())),
             qPrintable(text));
}

bool TestGateway::startBroker(Peer &broker, quint16 port, const QString &dir)
{
    QFile conf(dir + "/mosquitto.conf");
    if (!conf.open(QIODevice::WriteOnly))
        return false;
    // Persistence keeps the test subscriber's session over the broker's restart.
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                              "persistence_location %2/\n").arg(port).arg(dir).toUtf8());
    conf.close();
    broker.process.start(tool("mosquitto"), {"-c", conf.fileName()});
    return listening(port);
}

void TestGateway::subscribe(Peer &sub, quint16 port)
{
    sub.process.start(tool("mosquitto_sub"), {"-h", "127.0.0.1", "-p", QString::number(port), "-v", "-q", "1",
                                              "-c", "-i", "tst-gateway", "-t", "orbix/#"});
    QVERIFY(sub.process.waitForStarted());
}

void TestGateway::wholePlant()
{
    for (const char *name : {"mosquitto", "mosquitto_sub", "mosquitto_pub", "promtool"})
        if (tool(name).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(name)));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const quint16 brokerPort = SimTcpServer::unusedLoopbackPort();
    const quint16 metricsPort = SimTcpServer::unusedLoopbackPort();
    Peer broker;
    QVERIFY(startBroker(broker, brokerPort, dir.path()));
    Peer sub;
    subscribe(sub, brokerPort);

    Simulator serial; // two devices on a pseudo-terminal
    serial.addDevice({});
    SimDeviceConfig second;
    second.address = 2;
    second.modification = 80;
    serial.addDevice(second);
    QVERIFY2(serial.start(), qPrintable(serial.errorString()));
    Simulator network; // one behind Modbus TCP
    SimDeviceConfig third;
    third.address = 3;
    network.addDevice(third);
    QVERIFY(network.start());
    SimTcpServer server(network, SimTcpServer::Framing::ModbusTcp);
    QVERIFY(server.listen("127.0.0.1", 0));

    const QJsonObject config {
        {"format", "orbix-gateway"}, {"version", 1}, {"name", "plant"},
        {"mqtt", QJsonObject {{"url", QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort)},
                              {"outbox", dir.filePath("outbox")}}},
        {"metrics", QJsonObject {{"listen", QStringLiteral("127.0.0.1:%1").arg(metricsPort)}}},
        {"history", QJsonObject {{"db", dir.filePath("history.sqlite")}}},
        {"timing", QJsonObject {{"pollPeriodMs", 100}, {"retryPeriodMs", 500}, {"readTimeoutMs", 300},
                                {"replyGapMs", kTestReplyGapMs}}},
        {"lines", QJsonArray {
            QJsonObject {{"name", "pty"}, {"port", serial.linkPath()}, {"addresses", "1-2"}},
            QJsonObject {{"name", "tcp"}, {"port", QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(server.port())},
                         {"addresses", QJsonArray {3}}}}}};
    QFile file(dir.filePath("gateway.json"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(config).toJson());
    file.close();
    Peer gateway;
    gateway.process.setProcessChannelMode(QProcess::SeparateChannels);
    gateway.process.start(ORBIX_GATEWAY, {"--config", file.fileName()});
    QVERIFY(gateway.process.waitForStarted());

    QVERIFY2(sub.wait("orbix/plant/status") == "online", qPrintable(gateway.errors()));
    struct Device { const char *line; int address; int modification; };
    for (const Device &d : {Device {"pty", 1, 70}, Device {"pty", 2, 80}, Device {"tcp", 3, 70}}) {
        const QString topic = QStringLiteral("orbix/plant/%1/%2/state").arg(d.line).arg(d.address);
        const QString payload = sub.wait(topic, {"\"link\":\"up\""});
        QVERIFY2(!payload.isEmpty(), qPrintable(topic + '\n' + gateway.errors()));
        const QJsonObject state = QJsonDocument::fromJson(payload.toUtf8()).object();
        QCOMPARE(state["identity"].toObject()["modification"].toInt(), d.modification);
        QCOMPARE(state["address"].toInt(), d.address);
        const int scale = state["identity"].toObject()["currentScale"].toInt();
        QCOMPARE(state["phaseCurrents"].toArray()[0].toDouble(), state["phaseCurrentsRaw"].toArray()[0].toDouble() / scale);
        QCOMPARE(state.contains("startCount"), d.modification >= 80);
    }

    // The metrics as Prometheus reads them, checked by its own tool. A scrape shows each
    // device as its line last read it: on a loaded machine a line may be a visit behind
    // the states seen, or between a lost and a restored link.
    QByteArray metrics;
    const QByteArrayList expected {"orbix_link_up{address=\"3\",line=\"tcp\"} 1",
                                   "orbix_phase_current_amperes{address=\"2\",line=\"pty\",phase=\"C\"}",
                                   "orbix_device_visits_total{line=\"tcp\",result=\"ok\"}"};
    const bool scraped = QTest::qWaitFor([&] {
        metrics = httpGet(metricsPort, "/metrics");
        return std::all_of(expected.begin(), expected.end(), [&](const QByteArray &e) { return metrics.contains(e); });
    }, kWaitMs);
    QVERIFY2(scraped, qPrintable(metrics + '\n' + gateway.errors()));
    QProcess promtool;
    promtool.start(tool("promtool"), {"check", "metrics"});
    promtool.write(metrics);
    promtool.closeWriteChannel();
    QVERIFY(promtool.waitForFinished(10000));
    QVERIFY2(promtool.exitCode() == 0, QByteArray(promtool.readAllStandardOutput() + promtool.readAllStandardError()).constData());

    serial.injectTrip(2, 31);
    QVERIFY2(!sub.wait("orbix/plant/pty/2/event", {"\"event\":\"trip\"", "\"faultCode\":31", "\"tripTime\""}).isEmpty(),
             qPrintable(gateway.errors()));
    QVERIFY2(!sub.wait("orbix/plant/pty/2/oscillogram", {"\"faultCode\":31", "\"samples\""}).isEmpty(),
             qPrintable(gateway.errors()));

    // The broker away while a trip happens: the event waits and is delivered when it is back.
    sub.process.kill(); // its session, kept by the broker, gets what comes while it is away
    QVERIFY(sub.process.waitForFinished(5000));
    sub.lines.clear();
    // The retained status cleared: after the restart "online" is there only if the
    // gateway says it again on reconnecting.
    QProcess clear;
    clear.start(tool("mosquitto_pub"), {"-h", "127.0.0.1", "-p", QString::number(brokerPort), "-r", "-n", "-t",
                                        "orbix/plant/status"});
    QVERIFY(clear.waitForFinished(5000));
    QCOMPARE(clear.exitCode(), 0);
    broker.process.terminate();
    QVERIFY(broker.process.waitForFinished(5000));
    network.injectTrip(3, 32);
    QVERIFY2(QTest::qWaitFor([&] { return gateway.errors().contains("address 3: trip"); }, kWaitMs),
             qPrintable(gateway.errors()));
    QVERIFY(startBroker(broker, brokerPort, dir.path()));
    subscribe(sub, brokerPort);
    QVERIFY2(!sub.wait("orbix/plant/tcp/3/event", {"\"event\":\"trip\"", "\"faultCode\":32"}).isEmpty(),
             qPrintable(sub.lines.join('\n') + '\n' + gateway.errors()));
    QVERIFY2(sub.wait("orbix/plant/status") == "online", qPrintable(gateway.errors()));

    gateway.process.terminate();
    QVERIFY2(gateway.process.waitForFinished(5000), qPrintable(gateway.errors()));
    QVERIFY2(gateway.process.exitStatus() == QProcess::NormalExit && gateway.process.exitCode() == 0,
             qPrintable(gateway.errors()));
    QCOMPARE(sub.wait("orbix/plant/status", {"offline"}), QString("offline"));

    // Every device's readings kept under its line, the trip's oscillogram with them.
    HistoryStore history;
    QVERIFY2(history.open(dir.filePath("history.sqlite"), true), qPrintable(history.error()));
    QStringList held;
    for (const HistoryDevice &d : history.devices()) {
        if (!history.samples(d.id, 0, std::numeric_limits<qint64>::max()).isEmpty())
            held << QStringLiteral("%1/%2").arg(d.line).arg(d.address);
        if (d.line == "pty" && d.address == 2)
            QVERIFY(!history.oscillograms(d.id).isEmpty());
    }
    held.sort();
    QCOMPARE(held, QStringList({"pty/1", "pty/2", "tcp/3"}));
}

namespace {
// One request of a master connecting from the loopback address source; the reply's
// PDU, or empty when the connection ended without one.
QByteArray askAs(const QString &source, quint16 port, quint8 unit, const QByteArray &pdu)
{
    QTcpSocket socket;
    if (!socket.bind(QHostAddress(source)))
        return "bind failed";
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kWaitMs))
        return "no connection";
    socket.write(ModbusTcpLine::frame(7, unit, pdu));
    QByteArray in;
    const auto whole = [&in] {
        const int size = ModbusTcpLine::frameSize(reinterpret_cast<const uchar *>(in.constData()), in.size());
        return size > 0 && in.size() >= size;
    };
    while (!whole()) {
        if (!socket.waitForReadyRead(kWaitMs))
            return {};
        in += socket.readAll();
    }
    return in.mid(ModbusTcpLine::kHeaderSize);
}

int countOf(const QStringList &lines, const QString &topic)
{
    return int(std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(topic + ' '); }));
}
} // namespace

// Masters reading and writing through the gateway's Modbus TCP while it polls and
// publishes: the independent client and ours at once, a trip meanwhile published in
// order, settings written with their backup and read back, a write of a client that
// may only read refused, a client not listed disconnected.
void TestGateway::mastersShareTheLine()
{
    for (const char *name : {"mosquitto", "mosquitto_sub"})
        if (tool(name).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(name)));
    QTemporaryDir dir;
    const quint16 brokerPort = SimTcpServer::unusedLoopbackPort();
    const quint16 modbusPort = SimTcpServer::unusedLoopbackPort();
    const quint16 metricsPort = SimTcpServer::unusedLoopbackPort();
    Peer broker;
    QVERIFY(startBroker(broker, brokerPort, dir.path()));
    Peer sub;
    subscribe(sub, brokerPort);
    Simulator sim;
    for (int address : {1, 2, 3}) {
        SimDeviceConfig c;
        c.address = address;
        sim.addDevice(c);
    }
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const QJsonArray clients {QJsonObject {{"address", "127.0.0.1"}, {"write", true}},
                              QJsonObject {{"address", "127.0.0.2"}}};
    const QJsonObject server {{"listen", QStringLiteral("127.0.0.1:%1").arg(modbusPort)}, {"clients", clients}};
    const QJsonObject config {
        {"format", "orbix-gateway"}, {"version", 1}, {"name", "shared"},
        {"mqtt", QJsonObject {{"url", QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort)},
                              {"outbox", dir.filePath("outbox")}}},
        {"metrics", QJsonObject {{"listen", QStringLiteral("127.0.0.1:%1").arg(metricsPort)}}},
        {"timing", QJsonObject {{"pollPeriodMs", 300}, {"retryPeriodMs", 1000}}},
        {"lines", QJsonArray {QJsonObject {{"name", "L"}, {"port", sim.linkPath()}, {"addresses", "1-3"},
                                           {"modbusServer", server}}}}};
    QVERIFY(DataDirectory::writeFile(dir.filePath("gateway.json"), QJsonDocument(config).toJson()));
    Peer gateway;
    gateway.process.start(ORBIX_GATEWAY, {"--config", dir.filePath("gateway.json")});
    QVERIFY(gateway.process.waitForStarted());
    const QString state = "orbix/shared/L/%1/state";
    const QString up = "\"link\":\"up\"";
    for (int address : {1, 2, 3})
        QVERIFY2(!sub.wait(state.arg(address), {up}).isEmpty(), qPrintable(gateway.errors()));
    QMap<int, int> statesBefore;
    for (int address : {1, 2, 3})
        statesBefore[address] = countOf(sub.lines, state.arg(address));

    const QString url = QStringLiteral("modbus-tcp://127.0.0.1:%1").arg(modbusPort);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    Peer independent, ours;
    independent.process.start("/usr/bin/python3", {MODBUS_MASTER, QString::number(modbusPort), "1",
                                                   QString::number(RegisterMap::Configuration), "25", "40"});
    ours.process.setProcessEnvironment(env);
    ours.process.start(ORBIX_CLI, {"monitor", "-a", "2", "--cycles", "5", url});
    sim.injectTrip(3, 31);
    QVERIFY(independent.process.waitForFinished(30000));
    QVERIFY2(independent.process.exitCode() == 0, qPrintable(independent.errors() + gateway.errors()));
    QVERIFY(independent.lines.value(0).startsWith("read 40 "));
    QCOMPARE(independent.lines[0].section(' ', 2, 2).toInt(), int(sim.registerValue(1, RegisterMap::Configuration)));
    QVERIFY(ours.process.waitForFinished(30000));
    QVERIFY2(ours.process.exitCode() == 0, qPrintable(ours.errors() + gateway.errors()));
    QVERIFY2(!sub.wait("orbix/shared/L/3/oscillogram", {"\"faultCode\":31"}).isEmpty(), qPrintable(gateway.errors()));

    // Settings written through the gateway, as the setup tab writes them, and read back.
    QProcess get;
    get.setProcessEnvironment(env);
    get.start(ORBIX_CLI, {"config", "get", "-a", "1", "--json", url});
    QVERIFY(get.waitForFinished(20000) && get.exitCode() == 0);
    QJsonObject settings = QJsonDocument::fromJson(get.readAllStandardOutput()).object();
    QJsonObject fields = settings["fields"].toObject();
    fields["ratedCurrent"] = fields["ratedCurrent"].toInt() == 33 ? 34 : 33;
    settings["fields"] = fields;
    QVERIFY(DataDirectory::writeFile(dir.filePath("settings.json"), QJsonDocument(settings).toJson()));
    QVector<quint16> before;
    for (int reg = RegisterMap::Configuration; reg < int(RegisterMap::ConfigurationV50); ++reg)
        before << sim.registerValue(1, reg);
    const QStringList set {"config", "set", "-a", "1", "--access-code", "1234", url, dir.filePath("settings.json")};
    const QStringList diff {"config", "diff", "-a", "1", url, dir.filePath("settings.json")};
    for (const QStringList &args : {set, diff}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(ORBIX_CLI, args);
        QVERIFY(p.waitForFinished(20000));
        QVERIFY2(p.exitCode() == 0, qPrintable(args.join(' ') + '\n' + p.readAllStandardError() + gateway.errors()));
    }
    QVector<quint16> after;
    for (int reg = RegisterMap::Configuration; reg < int(RegisterMap::ConfigurationV50); ++reg)
        after << sim.registerValue(1, reg);
    QVERIFY(after != before);
    QVERIFY2(!sub.wait("orbix/shared/L/1/event", {"\"event\":\"masterWrite\"", "\"client\":\"127.0.0.1\""}).isEmpty(),
             qPrintable(gateway.errors()));

    // Rights: reads only for 127.0.0.2, nothing for a client not listed.
    const QByteArray identification = QByteArray::fromHex("0300000004");
    QCOMPARE(askAs("127.0.0.2", modbusPort, 2, identification).left(2).toHex(), QByteArray("0308"));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(askAs("127.0.0.2", modbusPort, 2, QByteArray::fromHex("06001e0000")).toHex(), QByteArray("8601"));
    QCOMPARE(askAs("127.0.0.3", modbusPort, 2, identification), QByteArray());
    QCOMPARE(askAs("127.0.0.1", modbusPort, 0, identification).toHex(), QByteArray("830a"));
    QVERIFY2(QTest::qWaitFor([&] {
        const QString log = gateway.errors();
        return log.contains("refused a write from 127.0.0.2 to address 2 (function 6)")
               && log.contains("refused a Modbus TCP connection from 127.0.0.3");
    }, kWaitMs), qPrintable(gateway.errors()));
    QCOMPARE(gateway.errors().count("refused a write from 127.0.0.2"), 1); // logged once a minute, counted each time

    // Every device published all along; the trip once, before its oscillogram.
    for (int address : {1, 2, 3})
        QVERIFY2(QTest::qWaitFor([&] { return countOf(sub.lines, state.arg(address)) >= statesBefore[address] + 5; },
                                 kWaitMs), qPrintable(state.arg(address)));
    QStringList published;
    for (const QString &l : sub.lines) {
        const QJsonObject o = QJsonDocument::fromJson(l.section(' ', 1).toUtf8()).object();
        if (l.startsWith("orbix/shared/L/3/oscillogram "))
            published << QStringLiteral("oscillogram %1").arg(o["faultCode"].toInt());
        else if (l.startsWith("orbix/shared/L/3/event ") && o["event"] == "trip")
            published << QStringLiteral("trip %1").arg(o["faultCode"].toInt());
    }
    QCOMPARE(published, QStringList({"trip 31", "oscillogram 31"}));

    // What the masters asked, by client and how it ended, and how long they waited.
    const QByteArray metrics = httpGet(metricsPort, "/metrics");
    QCOMPARE(series(metrics, "orbix_master_requests_total{client=\"127.0.0.2\",line=\"L\",result=\"refused\"} 2").size(), 1);
    QCOMPARE(series(metrics, "orbix_master_requests_total{client=\"127.0.0.2\",line=\"L\",result=\"answered\"} 1").size(), 1);
    QCOMPARE(series(metrics, "orbix_master_requests_total{client=\"127.0.0.1\",line=\"L\",result=\"line_down\"} 1").size(), 1);
    const QByteArrayList answered = series(metrics, "orbix_master_requests_total{client=\"127.0.0.1\",line=\"L\",result=\"answered\"}");
    QCOMPARE(answered.size(), 1);
    QVERIFY2(answered[0].split(' ').last().toDouble() > 40, answered[0].constData()); // pymodbus's 40 reads and ours
    const QByteArrayList waits = series(metrics, "orbix_master_wait_seconds_count{line=\"L\"}");
    QVERIFY2(waits.size() == 1 && waits[0].split(' ').last().toDouble() > 40, metrics.constData());
    gateway.process.terminate();
    QVERIFY2(gateway.process.waitForFinished(5000), qPrintable(gateway.errors()));
    QCOMPARE(gateway.process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestGateway)
#include "tst_gateway.moc"
