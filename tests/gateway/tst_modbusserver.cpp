// The gateway's Modbus TCP server on the loopback, its line's arbiter left unserved
// (no poller): who is let in, what is answered by the server itself, how a client's
// pipelined requests are bounded, what ends a connection, and what a reply from the
// line's thread looks like on the wire.
#include "exchange/linearbiter.h"
#include "gateway/modbusserver.h"
#include "link/modbustcpline.h"
#include "link/modbusport.h"

#include <QTcpSocket>
#include <QtTest>

namespace {

constexpr int kWaitMs = 5000;

QByteArray frames(const QList<QPair<int, QByteArray>> &requests) // unit, PDU in hex
{
    QByteArray out;
    quint16 transaction = 0;
    for (const auto &r : requests)
        out += ModbusTcpLine::frame(++transaction, quint8(r.first), QByteArray::fromHex(r.second));
    return out;
}

// The replies' PDUs in hex, "unit:pdu", until count came or the connection ended ("closed").
QStringList replies(QTcpSocket &socket, int count)
{
    QStringList out;
    QByteArray in;
    while (out.size() < count) {
        const int size = ModbusTcpLine::frameSize(reinterpret_cast<const uchar *>(in.constData()), in.size());
        if (size > 0 && in.size() >= size) {
            out << QStringLiteral("%1:%2").arg(quint8(in[6])).arg(QString::fromLatin1(in.mid(7, size - 7).toHex()));
            in.remove(0, size);
            continue;
        }
        if (socket.state() != QAbstractSocket::ConnectedState || !socket.waitForReadyRead(kWaitMs)) {
            if (socket.state() != QAbstractSocket::ConnectedState)
                out << "closed";
            break;
        }
        in += socket.readAll();
    }
    return out;
}

} // namespace

class TestModbusServer : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("expected");
        const QByteArray read = "0300000004";
        QTest::newRow("a client not listed") << "127.0.0.3" << frames({{1, read}}) << QStringList {"closed"};
        QTest::newRow("unit 0") << "127.0.0.1" << frames({{0, read}}) << QStringList {"0:830a"};
        QTest::newRow("unit 248") << "127.0.0.1" << frames({{248, read}}) << QStringList {"248:830a"};
        QTest::newRow("a function the devices have not") << "127.0.0.1" << frames({{1, "0400000004"}})
                                                         << QStringList {"1:8401"};
        QTest::newRow("a write from a client that may only read")
            << "127.0.0.2" << frames({{1, "06001e0000"}, {1, "10000400010200ff"}}) << QStringList {"1:8601", "1:9001"};
        QTest::newRow("a malformed read") << "127.0.0.2" << frames({{1, "03000000"}}) << QStringList {"1:8303"};
        QTest::newRow("not Modbus TCP") << "127.0.0.1" << QByteArray("GET / HTTP/1.0\r\n\r\n")
                                        << QStringList {"closed"};
        // The ninth of one client's requests while none is answered.
        QList<QPair<int, QByteArray>> many;
        for (int i = 0; i <= LineArbiter::kQueuePerClient; ++i)
            many << qMakePair(1, read);
        QTest::newRow("a client's queue full") << "127.0.0.1" << frames(many) << QStringList {"1:8306"};
    }
    void answers()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, expected);
        LineArbiter arbiter(LineArbiter::Settings {});
        GatewayConfig::ModbusServer settings;
        settings.listen = QStringLiteral("127.0.0.1:0");
        settings.clients = {{QStringLiteral("127.0.0.1"), true}, {QStringLiteral("127.0.0.2"), false}};
        ModbusServer server(QStringLiteral("L"), settings, arbiter);
        QString error;
        QVERIFY2(server.start(error), qPrintable(error));
        QTcpSocket socket;
        QVERIFY(socket.bind(QHostAddress(source)));
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(socket.waitForConnected(kWaitMs));
        socket.write(sent);
        QCOMPARE(replies(socket, expected.size()), expected);
    }

    // A reply from the line's thread, with the request's transaction and unit; a
    // client gone meanwhile gets nothing and takes its requests with it.
    void replyFromTheLine()
    {
        LineArbiter arbiter(LineArbiter::Settings {});
        GatewayConfig::ModbusServer settings;
        settings.listen = QStringLiteral("127.0.0.1:0");
        settings.clients = {{QStringLiteral("127.0.0.1"), true}};
        ModbusServer server(QStringLiteral("L"), settings, arbiter);
        QString error;
        QVERIFY2(server.start(error), qPrintable(error));
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(socket.waitForConnected(kWaitMs));
        socket.write(ModbusTcpLine::frame(0x1234, 5, QByteArray::fromHex("0300000004")));
        QTRY_VERIFY_WITH_TIMEOUT(arbiter.hasWork(), kWaitMs);
        arbiter.lineDown(); // as the poller answers when its line will not open
        QByteArray in;
        QElapsedTimer waited;
        waited.start();
        while (in.size() < 9 && waited.elapsed() < kWaitMs && socket.waitForReadyRead(kWaitMs))
            in += socket.readAll();
        QCOMPARE(in.toHex(), ModbusTcpLine::frame(0x1234, 5, QByteArray::fromHex("830a")).toHex());

        socket.write(ModbusTcpLine::frame(1, 5, QByteArray::fromHex("0300000004")));
        QTRY_VERIFY_WITH_TIMEOUT(arbiter.hasWork(), kWaitMs);
        socket.disconnectFromHost();
        QTRY_VERIFY_WITH_TIMEOUT(!arbiter.hasWork(), kWaitMs);
    }

    void addressTaken()
    {
        LineArbiter arbiter(LineArbiter::Settings {});
        GatewayConfig::ModbusServer settings;
        settings.listen = QStringLiteral("127.0.0.1:0");
        settings.clients = {{QStringLiteral("127.0.0.1"), true}};
        ModbusServer first(QStringLiteral("A"), settings, arbiter);
        QString error;
        QVERIFY(first.start(error));
        settings.listen = QStringLiteral("127.0.0.1:%1").arg(first.port());
        ModbusServer second(QStringLiteral("B"), settings, arbiter);
        QVERIFY(!second.start(error));
        QVERIFY2(error.startsWith(QStringLiteral("line B: modbusServer.listen 127.0.0.1:%1: ").arg(first.port())),
                 qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestModbusServer)
#include "tst_modbusserver.moc"
