#pragma once

#include <QtGlobal>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

// A network peer that no device server would be: it floods every connection with
// bytes without end, ends it at once, or resets it. Listens on loopback and serves in
// its own thread until stopped.
class HostilePeer
{
public:
    enum class Behaviour { Flood, Close, Reset };

    explicit HostilePeer(Behaviour behaviour) : behaviour(behaviour) {}
    ~HostilePeer() { stop(); }
    HostilePeer(const HostilePeer &) = delete;
    HostilePeer &operator=(const HostilePeer &) = delete;

    // Port 0 takes a free one.
    bool listen(quint16 port);
    quint16 port() const { return boundPort; }
    void stop();
    int connections() const { return accepted.load(); }
    quint64 bytesSent() const { return sent.load(); }

    // Two connected loopback TCP sockets, each non-blocking: ours, then the far end.
    static std::pair<int, int> connectedPair();
    // Writes a chunk of bytes that no framing takes for a frame; false once the far end is gone.
    static bool floodOnce(int fd, std::atomic<quint64> &sent);

private:
    void run();
    void take(std::vector<int> &clients);

    const Behaviour behaviour;
    int listenFd = -1;
    quint16 boundPort = 0;
    std::thread worker;
    std::atomic<bool> stopping {false};
    std::atomic<int> accepted {0};
    std::atomic<quint64> sent {0};
};
