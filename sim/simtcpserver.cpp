#include "sim/simtcpserver.h"

#include "link/rtuframing.h"
#include "sim/simlog.h"
#include "sim/simulator.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

namespace {
constexpr int kMbapHeader = 7;
constexpr int kRtuFixedRequest = 8;     // functions 3 and 6: address, function, 4 bytes, CRC
constexpr int kRtuMultipleHeader = 7;   // function 16 up to its byte count
// The worker sees a stop or a drop of its clients this soon: Winsock cannot wait for
// a socket and a wake-up object at once, so both platforms wait in slices.
constexpr int kSliceMs = 10;
} // namespace

SimTcpServer::SimTcpServer(Simulator &simulator, Framing f)
    : sim(simulator)
    , framing(f)
{
}

SimTcpServer::~SimTcpServer()
{
    stop();
}

quint16 SimTcpServer::unusedLoopbackPort()
{
    return SocketIo::unusedLoopbackPort();
}

bool SimTcpServer::listen(const QString &address, quint16 port)
{
    stop();
    int err = 0;
    listener = SocketIo::listenTcp(address, port, boundPort, err);
    if (listener == SocketIo::kInvalid) {
        error = err == EINVAL ? QStringLiteral("%1 is not an IPv4 address to listen on").arg(address)
                              : QStringLiteral("cannot listen on %1:%2: %3").arg(address).arg(port).arg(SocketIo::errorText(err));
        return false;
    }
    stopping = false;
    worker = std::thread(&SimTcpServer::run, this);
    return true;
}

void SimTcpServer::stop()
{
    if (worker.joinable()) {
        stopping = true;
        worker.join();
    }
    SocketIo::close(listener);
    listener = SocketIo::kInvalid;
}

void SimTcpServer::dropClients()
{
    dropRequested = true;
}

void SimTcpServer::run()
{
    std::vector<SocketIo::Watch> watched;
    while (!stopping) {
        watched.assign(1, SocketIo::Watch {listener, false});
        for (const auto &c : clients)
            watched.push_back({c.first, false});
        if (SocketIo::waitAny(watched, kSliceMs) < 0)
            break;
        if (dropRequested.exchange(false)) {
            for (const auto &c : clients)
                SocketIo::close(c.first);
            clients.clear();
            continue;
        }
        if (watched[0].ready)
            accept();
        for (std::size_t i = 1; i < watched.size(); ++i)
            if (watched[i].ready && !serve(watched[i].socket, clients[watched[i].socket])) {
                SocketIo::close(watched[i].socket);
                clients.erase(watched[i].socket);
            }
    }
    for (const auto &c : clients)
        SocketIo::close(c.first);
    clients.clear();
}

void SimTcpServer::accept()
{
    const SocketIo::Handle socket = SocketIo::accept(listener);
    if (socket != SocketIo::kInvalid)
        clients[socket] = Client();
}

// False once the client has gone.
bool SimTcpServer::serve(SocketIo::Handle socket, Client &client)
{
    char buffer[512];
    const ssize_t n = SocketIo::recv(socket, buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && (errno == EINTR || errno == EAGAIN);
    client.pending.append(buffer, int(n));
    quint16 transaction = 0;
    for (QByteArray request = takeRequest(client.pending, transaction); !request.isEmpty();
         request = takeRequest(client.pending, transaction))
        reply(socket, request, transaction);
    return true;
}

QByteArray SimTcpServer::takeRequest(QByteArray &bytes, quint16 &transaction) const
{
    if (framing == Framing::ModbusTcp) {
        if (bytes.size() < kMbapHeader)
            return QByteArray();
        const auto *h = reinterpret_cast<const uchar *>(bytes.constData());
        const int length = qFromBigEndian<quint16>(h + 4);
        if (bytes.size() < 6 + length)
            return QByteArray();
        transaction = qFromBigEndian<quint16>(h);
        QByteArray rtu = bytes.mid(6, length); // unit identifier and PDU: an RTU frame without CRC
        bytes.remove(0, 6 + length);
        RtuFraming::appendCrc(rtu);
        return rtu;
    }
    // RTU on a stream: a request's length follows from its function.
    const bool multiple = bytes.size() >= 2 && quint8(bytes[1]) == RtuFraming::kFunctionWriteMultiple;
    if (bytes.size() < kRtuMultipleHeader && !(bytes.size() >= 2 && !multiple))
        return QByteArray();
    const int length = multiple ? kRtuMultipleHeader + quint8(bytes[6]) + RtuFraming::kCrcSize : kRtuFixedRequest;
    if (bytes.size() < length)
        return QByteArray();
    const QByteArray frame = bytes.left(length);
    bytes.remove(0, length);
    return frame;
}

void SimTcpServer::reply(SocketIo::Handle socket, const QByteArray &rtu, quint16 transaction)
{
    int splitAt = -1, pauseMs = 0;
    QByteArray out = sim.networkReply(rtu, splitAt, pauseMs);
    if (out.isEmpty())
        return;
    if (framing == Framing::ModbusTcp) {
        QByteArray mbap(kMbapHeader - 1, 0); // the PDU length field counts the unit too
        qToBigEndian<quint16>(transaction, mbap.data());
        qToBigEndian<quint16>(quint16(out.size() - RtuFraming::kCrcSize), mbap.data() + 4);
        out = mbap + out.left(out.size() - RtuFraming::kCrcSize);
        splitAt = splitAt >= 0 ? splitAt + kMbapHeader - 1 : -1;
    }
    const int first = splitAt >= 0 && splitAt < out.size() ? splitAt : out.size();
    SocketIo::send(socket, out.constData(), size_t(first));
    if (first < out.size() && pause(pauseMs)) // a split reply: its second half after the pause
        SocketIo::send(socket, out.constData() + first, size_t(out.size() - first));
}

bool SimTcpServer::pause(int ms) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    // A stop or a drop of the clients ends it early, as either ends the wait of run().
    for (auto now = std::chrono::steady_clock::now(); now < end && !stopping && !dropRequested;
         now = std::chrono::steady_clock::now())
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(kSliceMs)));
    return !stopping;
}
