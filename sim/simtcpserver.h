#pragma once

#include "link/socketio.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

class Simulator;

// The simulator's devices behind a network server: Modbus RTU frames on a raw TCP
// stream (as a serial device server in its TCP-server mode carries them) or Modbus
// TCP with its MBAP header (a gateway). Listens on one address; several clients may
// connect; each request is answered as the pseudo-terminal's would be, faults included.
class SimTcpServer
{
public:
    enum class Framing { Rtu, ModbusTcp };

    SimTcpServer(Simulator &simulator, Framing framing);
    ~SimTcpServer(); // stops
    SimTcpServer(const SimTcpServer &) = delete;
    SimTcpServer &operator=(const SimTcpServer &) = delete;

    // Port 0 picks a free one; false + errorString() on failure.
    bool listen(const QString &address, quint16 port);
    quint16 port() const { return boundPort; }
    // A loopback port nobody listens on now (the kernel's pick, released at once): for
    // a peer started beside the simulator, or a connection that must be refused.
    static quint16 unusedLoopbackPort();
    QString errorString() const { return error; }
    void stop();
    // Ends every client's connection, as a server that restarts would.
    void dropClients();

private:
    struct Client {
        QByteArray pending;
    };

    void run();
    void accept();
    bool serve(SocketIo::Handle socket, Client &client);
    // Whole requests at the front of bytes, taken out of it.
    QByteArray takeRequest(QByteArray &bytes, quint16 &transaction) const;
    void reply(SocketIo::Handle socket, const QByteArray &rtu, quint16 transaction);
    // Sleeps ms in slices; false once stopping.
    bool pause(int ms) const;

    Simulator &sim;
    const Framing framing;
    SocketIo::Handle listener = SocketIo::kInvalid;
    quint16 boundPort = 0;
    QString error;
    std::thread worker;
    std::atomic<bool> stopping {false};
    std::atomic<bool> dropRequested {false};
    std::map<SocketIo::Handle, Client> clients; // the worker's own
};
