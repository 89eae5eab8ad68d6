#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

class ModbusPort;

// Other masters' requests (Modbus PDUs for a unit of the line) on a line that a poller
// owns: queued from any thread, sent from the poller's thread between its own
// transactions, ahead of them. Writes first, then reads, then the poll; reads take
// turns between the clients, and while the poll has work due they take at most a share
// of the line's time (a master reading without pause keeps most of the poll). A read
// of a block the poll read within its period may be answered from that reading.
//
// Every request gets exactly one reply, a PDU: the device's answer or its exception;
// exception 0x0B when it did not answer or waited longer than the wait limit; 0x0A when
// the line is down; 0x01 for what the devices of the line do not do (functions other
// than 3, 6 and 16).
class LineArbiter
{
public:
    // The Modbus exceptions a gateway answers itself.
    static constexpr quint8 kIllegalFunction = 0x01;
    static constexpr quint8 kIllegalDataValue = 0x03;
    static constexpr quint8 kServerBusy = 0x06;
    static constexpr quint8 kPathUnavailable = 0x0A;
    static constexpr quint8 kTargetFailed = 0x0B;
    // Requests a client may have waiting at once; one more is answered busy at once.
    static constexpr int kQueuePerClient = 8;

    enum class Result { Answered, Cached, Exception, Timeout, LineDown, Busy, Refused };
    static const char *resultName(Result r); // as the metrics name it

    struct Reply {
        QByteArray pdu;
        Result result = Result::Answered;
        double waitSeconds = -1; // from arrival to its start on the line; -1: not sent
    };
    using ReplyCall = std::function<void(const Reply &)>;

    struct Settings {
        int waitLimitMs = 1500;   // longer in the queue: 0x0B without touching the line
        double readShare = 0.2;   // of the line's time, for reads while the poll has work
        int burstMs = 1000;       // line time reads may take at once beyond their share
        int cacheMs = 1000;       // the poll's period: how old a reading may answer
        int holdMs = 500;         // after an access code: the line waits for its write
        quint32 holdRegister = 0; // the access code's register (counted from 1); 0: none
    };

    explicit LineArbiter(const Settings &settings);
    LineArbiter(const LineArbiter &) = delete;
    LineArbiter &operator=(const LineArbiter &) = delete;

    // Called whenever a request arrives (the poller wakes up); set before any submit.
    void setWake(std::function<void()> wake) { wakeCall = std::move(wake); }
    // Any thread. False when the client has kQueuePerClient waiting: reply is not kept.
    // A malformed PDU or an unknown function is answered at once, from this thread.
    bool submit(quint64 client, quint8 unit, const QByteArray &pdu, ReplyCall reply);
    // The client went away: what it has waiting is dropped without a reply.
    void forget(quint64 client);
    bool hasWork() const;

    // The poller's thread, with its port open: sends what may go now; pollWaiting when
    // the poll has a transaction due (reads then take their share only). Restores the
    // port's slave address and read time-out.
    void serve(ModbusPort &port, bool pollWaiting);
    // The poller's thread, when its line would not open: everything waiting gets 0x0A.
    void lineDown();
    // The read time-out of requests to units the poll hears (else probeMs: a unit
    // nobody has seen answer does not hold the line for long).
    void setTimeouts(int readMs, int probeMs);
    void setAnswering(quint8 unit, bool answering);
    // What the poll read: registers from first, for answers from the cache.
    void remember(quint8 unit, quint32 firstRegister, const quint16 *values, int count);
    // Units a master wrote to since the last call (the poll reads them next).
    std::set<quint8> takeWritten();

private:
    struct Pending {
        quint64 client;
        quint8 unit;
        QByteArray pdu;
        qint64 arrivedMs;
        ReplyCall reply;
    };
    struct Reading {
        quint32 first;
        std::vector<quint16> values;
        qint64 timeMs;
    };

    static qint64 nowMs();
    bool takeNext(bool pollWaiting, Pending &out); // under lock
    void run(ModbusPort &port, Pending &p, bool pollWaiting);
    std::vector<Pending> takeExpired(); // under lock
    Reply execute(ModbusPort &port, const Pending &p);
    bool fromCache(quint8 unit, const QByteArray &request, QByteArray &pdu) const; // under lock
    void refill(qint64 now); // under lock
    void refresh(quint8 unit, quint32 first, const quint16 *values, int count);
    void waitForHold(std::unique_lock<std::mutex> &lock);

    const Settings setup;
    std::function<void()> wakeCall;
    mutable std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Pending> writes;
    std::map<quint64, std::deque<Pending>> reads; // by client, in turn
    quint64 lastReader = 0;
    QHash<quint64, int> waiting; // per client
    std::map<quint8, std::vector<Reading>> cache;
    std::set<quint8> answering;
    std::set<quint8> written;
    int readTimeoutMs = 1000;
    int probeTimeoutMs = 400;
    double tokensMs;
    qint64 refilledMs;
    quint64 holdClient = 0;
    qint64 holdUntilMs = 0;
    bool serving = false; // the poller's thread only: what serve() sends does not serve again
};
