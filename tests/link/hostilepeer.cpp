#include "tests/link/hostilepeer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kChunk = 64 * 1024;
constexpr int kPollMs = 20; // how soon a stop is seen

int listenOn(quint16 port, quint16 &bound)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 || ::listen(s, 8) != 0
        || getsockname(s, reinterpret_cast<sockaddr *>(&at), &len) != 0) {
        if (s >= 0)
            ::close(s);
        return -1;
    }
    bound = ntohs(at.sin_port);
    return s;
}

constexpr int kResetWaitMs = 5000;

void resetAndClose(int fd)
{
    const linger now {1, 0}; // closing with lingering off sends a reset, not an end of file
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    ::close(fd);
}

} // namespace

bool HostilePeer::listen(quint16 port)
{
    stop();
    listenFd = listenOn(port, boundPort);
    if (listenFd < 0)
        return false;
    stopping = false;
    worker = std::thread([this] { run(); });
    return true;
}

void HostilePeer::stop()
{
    stopping = true;
    if (worker.joinable())
        worker.join();
    if (listenFd >= 0)
        ::close(listenFd);
    listenFd = -1;
}

std::pair<int, int> HostilePeer::connectedPair()
{
    quint16 port = 0;
    const int server = listenOn(0, port);
    const int ours = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at {};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool linked = server >= 0 && ours >= 0 && ::connect(ours, reinterpret_cast<sockaddr *>(&at), sizeof at) == 0;
    pollfd p {server, POLLIN, 0};
    const int theirs = linked && ::poll(&p, 1, 5000) == 1 ? ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK) : -1;
    if (server >= 0)
        ::close(server);
    if (ours >= 0)
        fcntl(ours, F_SETFL, fcntl(ours, F_GETFL) | O_NONBLOCK);
    return {ours, theirs};
}

bool HostilePeer::floodOnce(int fd, std::atomic<quint64> &count)
{
    static const std::vector<char> noise(kChunk, 'x'); // a Modbus TCP header needs protocol 0
    const ssize_t n = ::send(fd, noise.data(), noise.size(), MSG_NOSIGNAL);
    if (n > 0)
        count += quint64(n);
    return n > 0 || errno == EAGAIN || errno == EINTR;
}

void HostilePeer::take(std::vector<int> &clients)
{
    for (int fd; (fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
        ++accepted;
        if (behaviour == Behaviour::Flood)
            clients.push_back(fd);
        else if (behaviour == Behaviour::Reset) {
            // Reset once the first request is on its way: a reset that beats the
            // connect's own check would only test a refused connection.
            pollfd request {fd, POLLIN, 0};
            ::poll(&request, 1, kResetWaitMs);
            resetAndClose(fd);
        }
        else
            ::close(fd);
    }
}

void HostilePeer::run()
{
    std::vector<int> clients;
    while (!stopping) {
        std::vector<pollfd> fds {{listenFd, POLLIN, 0}};
        for (int fd : clients)
            fds.push_back({fd, POLLOUT, 0});
        if (::poll(fds.data(), fds.size(), kPollMs) <= 0)
            continue;
        if (fds[0].revents & POLLIN)
            take(clients);
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents && !floodOnce(fds[i].fd, sent)) {
                ::close(fds[i].fd);
                clients.erase(std::find(clients.begin(), clients.end(), fds[i].fd));
            }
        }
    }
    for (int fd : clients)
        ::close(fd);
}
