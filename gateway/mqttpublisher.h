#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class Outbox;
struct mosquitto;

// The gateway's one connection to the plant's broker. States are retained and only
// the newest of each topic is kept while the broker is away; events go through the
// outbox (QoS 1) and leave it when the broker has acknowledged each, in order. The
// status topic says "online" at every connection and "offline" as the last will and
// at a clean stop. A thread of its own runs the connection: whatever ends one (a
// refused connect, a broken packet, a lost link, a peer that sends too much) ends in
// connecting again, after a wait that grows while the broker stays away. Each
// connection has a client of its own, handed a bounded window of the outbox, so that
// a message is held once however often the broker comes and goes. Any thread may
// hand over.
class MqttPublisher
{
public:
    struct Settings {
        QString host;
        int port = 1883;
        bool tls = false;
        QString caFile;
        QString username;
        QString password;
        QString clientId;
        QByteArray statusTopic;
        int keepAliveSeconds = 30;
        // The wait before connecting again: the first, doubled after each failure up to
        // the longest; the first again after a connection that lasted the longest.
        int reconnectFirstMs = 1000;
        int reconnectLongestMs = 30000;
    };

    MqttPublisher(const Settings &settings, Outbox &outbox);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    // Where it tells of its connection, one line a call (from its thread).
    void setLog(std::function<void(int priority, const QString &)> log) { logLine = std::move(log); }
    // Starts connecting (again and again until it succeeds); false with error for bad settings.
    bool start(QString &error);
    void publishState(const QByteArray &topic, const QByteArray &payload);
    void publishEvent(const QByteArray &topic, const QByteArray &payload);
    // What the outbox holds for up to timeoutMs while connected, then "offline", then
    // away; the outbox is compacted.
    void stop(int timeoutMs);

    bool isConnected() const { return connected.load(); }
    int outboxSize() const;
    quint64 outboxDropped() const;
    quint64 outboxDamaged() const;

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onLog(mosquitto *, void *self, int level, const char *text);
    mosquitto *newClient(QString &error);
    void run();
    qint64 connectOnce();
    int service(int timeoutMs);
    bool feed(int &pollMs);
    void sendStates();
    void sendEvents();
    bool publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int &rc);
    bool pause(int ms);
    void wake();
    void log(int priority, const QString &text) const;

    const Settings settings;
    Outbox &outbox;
    std::function<void(int, const QString &)> logLine;
    std::thread worker;
    int wakeFd = -1;
    std::atomic<bool> connected {false};

    mutable std::mutex lock; // guards what the other threads hand over, and the outbox
    bool stopping = false;
    std::chrono::steady_clock::time_point stopDeadline;
    std::map<QByteArray, QByteArray> states; // the newest of each topic
    std::map<QByteArray, bool> statesDue;    // topics not yet sent since they changed

    // The worker's own: the connection of the moment and what its library holds.
    mosquitto *client = nullptr;
    QByteArray receivedPrefix;     // how the library logs a packet it has read whole
    bool up = false;               // the broker has accepted this connection
    bool fresh = false;            // accepted, its first messages not sent yet
    bool lost = false;
    int lastMid = 0;               // the library numbers its messages 1..65535 in turn
    quint64 handedUpTo = 0;        // outbox numbers up to here are with this connection
    std::map<int, quint64> inFlight; // message id -> outbox number; 0: the "offline"
    std::vector<quint64> acknowledged;
    bool offlineSent = false, offlineAcknowledged = false;
    quint64 receivedAtPacket = 0;  // the socket's byte count when the last packet was whole
    bool quiet = false;            // a failure to connect told; the next ones are not
};
