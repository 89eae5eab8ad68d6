#include "sim/simtcpserver.h"

#include "link/rtuframing.h"
#include "sim/simlog.h"
#include "sim/simulator.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kMbapHeader = 7;
constexpr int kRtuFixedRequest = 8;     // functions 3 and 6: address, function, 4 bytes, CRC
constexpr int kRtuMultipleHeader = 7;   // function 16 up to its byte count
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
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return 0;
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    const bool bound = ::bind(s, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0
        && getsockname(s, reinterpret_cast<sockaddr *>(&at), &len) == 0;
    ::close(s);
    return bound ? ntohs(at.sin_port) : 0;
}

bool SimTcpServer::listen(const QString &address, quint16 port)
{
    stop();
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    if (inet_pton(AF_INET, address.toLatin1().constData(), &at.sin_addr) != 1) {
        error = QStringLiteral("%1 is not an IPv4 address to listen on").arg(address);
        return false;
    }
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t len = sizeof at;
    if (::bind(listenFd, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 || ::listen(listenFd, 8) != 0
        || getsockname(listenFd, reinterpret_cast<sockaddr *>(&at), &len) != 0) {
        error = QStringLiteral("cannot listen on %1:%2: %3").arg(address).arg(port).arg(QString::fromLocal8Bit(strerror(errno)));
        ::close(listenFd);
        listenFd = -1;
        return false;
    }
    boundPort = ntohs(at.sin_port);
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    stopping = false;
    worker = std::thread(&SimTcpServer::run, this);
    return true;
}

void SimTcpServer::stop()
{
    if (worker.joinable()) {
        stopping = true;
        const quint64 one = 1;
        (void)!::write(wakeFd, &one, sizeof one);
        worker.join();
    }
    for (int fd : {listenFd, wakeFd})
        if (fd >= 0)
            ::close(fd);
    listenFd = wakeFd = -1;
}

void SimTcpServer::dropClients()
{
    dropRequested = true;
    const quint64 one = 1;
    (void)!::write(wakeFd, &one, sizeof one);
}

void SimTcpServer::run()
{
    while (!stopping) {
        std::vector<pollfd> fds {{wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}};
        for (const auto &c : clients)
            fds.push_back({c.first, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents) {
            quint64 count = 0;
            (void)!::read(wakeFd, &count, sizeof count);
        }
        if (dropRequested.exchange(false)) {
            for (const auto &c : clients)
                ::close(c.first);
            clients.clear();
            continue;
        }
        if (fds[1].revents & POLLIN)
            accept();
        for (std::size_t i = 2; i < fds.size(); ++i)
            if (fds[i].revents && !serve(fds[i].fd, clients[fds[i].fd])) {
                ::close(fds[i].fd);
                clients.erase(fds[i].fd);
            }
    }
    for (const auto &c : clients)
        ::close(c.first);
    clients.clear();
}

void SimTcpServer::accept()
{
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clients[fd] = Client();
}

// False once the client has gone.
bool SimTcpServer::serve(int fd, Client &client)
{
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && errno == EINTR;
    client.pending.append(buffer, int(n));
    quint16 transaction = 0;
    for (QByteArray request = takeRequest(client.pending, transaction); !request.isEmpty();
         request = takeRequest(client.pending, transaction))
        reply(fd, request, transaction);
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

void SimTcpServer::reply(int fd, const QByteArray &rtu, quint16 transaction)
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
    (void)!::send(fd, out.constData(), size_t(first), MSG_NOSIGNAL);
    if (first < out.size()) {
        pollfd p {wakeFd, POLLIN, 0};
        ::poll(&p, 1, pauseMs); // a split reply: its second half after the pause
        (void)!::send(fd, out.constData() + first, size_t(out.size() - first), MSG_NOSIGNAL);
    }
}
