#include "gateway/modbusserver.h"

#include "gateway/gatewaylog.h"
#include "link/modbustcpline.h"
#include "link/rtuframing.h"

#include <QDateTime>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>

#include <map>
#include <mutex>

namespace {

// A connection's address as the configuration names it: IPv4 also when it came over IPv6.
QString clientName(const QHostAddress &peer)
{
    bool v4 = false;
    const quint32 ip = peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : peer.toString();
}

QByteArray exceptionPdu(const QByteArray &request, quint8 code)
{
    QByteArray pdu(2, 0);
    pdu[0] = char((request.isEmpty() ? 0 : quint8(request[0])) | RtuFraming::kExceptionBit);
    pdu[1] = char(code);
    return pdu;
}

bool isWrite(const QByteArray &pdu)
{
    const int f = pdu.isEmpty() ? 0 : quint8(pdu[0]);
    return f == RtuFraming::kFunctionWriteSingle || f == RtuFraming::kFunctionWriteMultiple;
}

constexpr qint64 kRefusalLogEveryMs = 60000;
constexpr qint64 kMaxUnsentBytes = 64 * 1024;  // replies a client does not read: it is gone or hostile

} // namespace

class ModbusServer::Worker : public QObject
{
public:
    struct Outlet { // how a reply from the line's thread finds the worker, while it lives
        std::mutex mutex;
        Worker *target = nullptr;
    };
    struct Connection {
        QTcpSocket *socket;
        QString client;
        bool mayWrite;
        QByteArray incoming;
    };

    Worker(ModbusServer &owner)
        : owner(owner)
        , outlet(std::make_shared<Outlet>())
    {
        outlet->target = this;
        for (const GatewayConfig::ModbusServer::Client &c : owner.setup.clients)
            rights.insert(clientName(QHostAddress(c.address)), c.write);
    }

    bool listen(QString &error)
    {
        QString host;
        quint16 port = 0;
        GatewayConfig::splitHostPort(owner.setup.listen, host, port);
        QHostAddress address;
        if (host == QLatin1String("localhost"))
            address = QHostAddress::LocalHost;
        else if (!address.setAddress(host)) {
            error = QStringLiteral("line %1: modbusServer.listen %2: not an IP address").arg(owner.lineName, host);
            return false;
        }
        server = new QTcpServer(this);
        server->setMaxPendingConnections(kMaxConnections);
        if (!server->listen(address, port)) {
            error = QStringLiteral("line %1: modbusServer.listen %2: %3")
                        .arg(owner.lineName, owner.setup.listen, server->errorString());
            return false;
        }
        owner.boundPort = server->serverPort();
        connect(server, &QTcpServer::newConnection, this, [this] { accept(); });
        return true;
    }

    void shutDown()
    {
        {
            std::lock_guard<std::mutex> lock(outlet->mutex);
            outlet->target = nullptr;
        }
        for (auto &c : connections) {
            owner.arbiter.forget(c.first);
            c.second.socket->disconnect(this);
            c.second.socket->abort();
            delete c.second.socket;
        }
        connections.clear();
        delete server;
        server = nullptr;
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            const QString client = clientName(socket->peerAddress());
            const auto right = rights.constFind(client);
            QString refusal;
            if (right == rights.constEnd())
                refusal = QStringLiteral("not among modbusServer.clients");
            else if (connections.size() >= size_t(kMaxConnections) || perClient.value(client) >= kMaxConnectionsPerClient)
                refusal = QStringLiteral("too many connections at once");
            if (!refusal.isEmpty()) {
                logRefusal(QStringLiteral("connect ") + client,
                           QStringLiteral("line %1: refused a Modbus TCP connection from %2: %3")
                               .arg(owner.lineName, client, refusal));
                socket->abort();
                socket->deleteLater();
                continue;
            }
            const quint64 id = ++lastId;
            connections.emplace(id, Connection {socket, client, *right, QByteArray()});
            ++perClient[client];
            connect(socket, &QTcpSocket::readyRead, this, [this, id] { receive(id); });
            connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id); });
            connect(socket, &QTcpSocket::errorOccurred, this, [this, id] { drop(id); });
        }
    }

    // Once a minute for each kind of refusal and client: a SCADA retrying every second
    // must not fill the journal (the metrics count every one).
    void logRefusal(const QString &key, const QString &text)
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        auto it = refusalsLogged.find(key);
        if (it != refusalsLogged.end() && now - *it < kRefusalLogEveryMs)
            return;
        refusalsLogged.insert(key, now);
        GatewayLog::write(GatewayLog::Warning, text);
    }

    void drop(quint64 id)
    {
        auto it = connections.find(id);
        if (it == connections.end())
            return;
        owner.arbiter.forget(id);
        if (--perClient[it->second.client] <= 0)
            perClient.remove(it->second.client);
        it->second.socket->disconnect(this);
        it->second.socket->deleteLater();
        connections.erase(it);
    }

    // Whole frames are taken as they come; a stream that is not Modbus TCP ends the connection.
    void receive(quint64 id)
    {
        auto it = connections.find(id);
        if (it == connections.end())
            return;
        it->second.incoming += it->second.socket->readAll();
        for (;;) {
            it = connections.find(id); // a reply answered at once may have ended it
            if (it == connections.end())
                return;
            Connection &c = it->second;
            const auto *h = reinterpret_cast<const uchar *>(c.incoming.constData());
            const int size = ModbusTcpLine::frameSize(h, c.incoming.size());
            if (size < 0) {
                GatewayLog::write(GatewayLog::Warning, QStringLiteral("line %1: %2 sent something that is not Modbus "
                                                                      "TCP; disconnected").arg(owner.lineName, c.client));
                drop(id);
                return;
            }
            if (size == 0 || c.incoming.size() < size)
                return;
            const QByteArray frame = c.incoming.left(size);
            c.incoming.remove(0, size);
            request(id, c, qFromBigEndian<quint16>(frame.constData()), quint8(frame[6]),
                    frame.mid(ModbusTcpLine::kHeaderSize));
        }
    }

    void request(quint64 id, const Connection &c, quint16 transaction, quint8 unit, const QByteArray &pdu)
    {
        Outcome o {c.client, unit, pdu, LineArbiter::Result::Answered, -1};
        if (unit < 1 || unit > RtuFraming::kMaxSlaveAddress) {
            o.result = LineArbiter::Result::LineDown; // no device of the line has that address
            send(id, transaction, o, exceptionPdu(pdu, LineArbiter::kPathUnavailable));
            return;
        }
        if (isWrite(pdu) && !c.mayWrite) {
            logRefusal(QStringLiteral("write ") + c.client,
                       QStringLiteral("line %1: refused a write from %2 to address %3 (function %4): the client "
                                      "may only read").arg(owner.lineName, c.client).arg(unit).arg(quint8(pdu[0])));
            o.result = LineArbiter::Result::Refused;
            send(id, transaction, o, exceptionPdu(pdu, LineArbiter::kIllegalFunction));
            return;
        }
        std::shared_ptr<Outlet> out = outlet;
        auto reply = [out, id, transaction, o](const LineArbiter::Reply &r) {
            std::lock_guard<std::mutex> lock(out->mutex);
            if (!out->target)
                return;
            Worker *w = out->target;
            QMetaObject::invokeMethod(w, [w, id, transaction, o, r] {
                Outcome done = o;
                done.result = r.result;
                done.waitSeconds = r.waitSeconds;
                w->send(id, transaction, done, r.pdu);
            }, Qt::QueuedConnection);
        };
        if (!owner.arbiter.submit(id, unit, pdu, reply)) {
            o.result = LineArbiter::Result::Busy;
            send(id, transaction, o, exceptionPdu(pdu, LineArbiter::kServerBusy));
        }
    }

    void send(quint64 id, quint16 transaction, const Outcome &o, const QByteArray &pdu)
    {
        if (owner.observe)
            owner.observe(o);
        auto it = connections.find(id);
        if (it == connections.end())
            return;
        it->second.socket->write(ModbusTcpLine::frame(transaction, o.unit, pdu));
        if (it->second.socket->bytesToWrite() > kMaxUnsentBytes) {
            GatewayLog::write(GatewayLog::Warning, QStringLiteral("line %1: %2 does not read its replies; "
                                                                  "disconnected").arg(owner.lineName, it->second.client));
            drop(id);
        }
    }

    ModbusServer &owner;
    std::shared_ptr<Outlet> outlet;
    QTcpServer *server = nullptr;
    QHash<QString, bool> rights;
    std::map<quint64, Connection> connections;
    QHash<QString, int> perClient;
    QHash<QString, qint64> refusalsLogged;
    quint64 lastId = 0;
};

ModbusServer::ModbusServer(const QString &line, const GatewayConfig::ModbusServer &settings, LineArbiter &arbiter)
    : lineName(line)
    , setup(settings)
    , arbiter(arbiter)
{
}

ModbusServer::~ModbusServer()
{
    stop();
}

bool ModbusServer::start(QString &error)
{
    thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("modbus-") + lineName);
    worker = new Worker(*this);
    worker->moveToThread(thread.get());
    thread->start();
    bool listening = false;
    QMetaObject::invokeMethod(worker, [&] { listening = worker->listen(error); }, Qt::BlockingQueuedConnection);
    if (!listening)
        stop();
    return listening;
}

void ModbusServer::stop()
{
    if (!thread)
        return;
    QMetaObject::invokeMethod(worker, [this] {
        worker->shutDown();
        delete worker;
    }, Qt::BlockingQueuedConnection);
    worker = nullptr;
    thread->quit();
    thread->wait();
    thread.reset();
}
