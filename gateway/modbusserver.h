#pragma once

#include "exchange/linearbiter.h"
#include "gateway/gatewayconfig.h"

#include <QString>

#include <functional>
#include <memory>

class QThread;

// Modbus TCP for one line's devices, for the masters the configuration lists (SCADA,
// the service tool, scripts): the unit id is the device's address, each request goes
// to the line through its arbiter. A client not listed is disconnected at once; a
// write from a client that may only read gets exception 1. Its own thread, with Qt's
// sockets; the replies come back from the line's thread.
class ModbusServer
{
public:
    // Connections at once: all clients, and each client address.
    static constexpr int kMaxConnections = 64;
    static constexpr int kMaxConnectionsPerClient = 4;

    // What became of one request, from the server's thread: for the metrics and the log.
    struct Outcome {
        QString client;
        quint8 unit = 0;
        QByteArray request; // the PDU
        LineArbiter::Result result = LineArbiter::Result::Answered;
        double waitSeconds = -1;
    };
    using Observer = std::function<void(const Outcome &)>;

    ModbusServer(const QString &line, const GatewayConfig::ModbusServer &settings, LineArbiter &arbiter);
    ~ModbusServer(); // stops
    ModbusServer(const ModbusServer &) = delete;
    ModbusServer &operator=(const ModbusServer &) = delete;

    // Before start(); called from the server's thread.
    void setObserver(Observer observer) { observe = std::move(observer); }
    // Listening; false with error naming the address when it cannot.
    bool start(QString &error);
    // The connections closed, the clients' waiting requests dropped.
    void stop();
    // The port listened on (the one given, or the system's choice for port 0).
    quint16 port() const { return boundPort; }

private:
    class Worker;

    const QString lineName;
    const GatewayConfig::ModbusServer setup;
    LineArbiter &arbiter;
    Observer observe;
    std::unique_ptr<QThread> thread;
    Worker *worker = nullptr; // lives in thread
    quint16 boundPort = 0;
};
