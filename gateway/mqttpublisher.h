#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class Outbox;
struct mosquitto;

// The gateway's one connection to the plant's broker. States are retained and only
// the newest of each topic is kept while the broker is away; events go through the
// outbox (QoS 1) and leave it when the broker has acknowledged them, in order. The
// status topic says "online" at every connection and "offline" as the last will and
// at a clean stop. A thread of its own does every publish; any thread may hand over.
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
    };

    MqttPublisher(const Settings &settings, Outbox &outbox);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    // Where it tells of its connection, one line a call (from its threads).
    void setLog(std::function<void(int priority, const QString &)> log) { logLine = std::move(log); }
    // Starts connecting (again and again until it succeeds); false with error for bad settings.
    bool start(QString &error);
    void publishState(const QByteArray &topic, const QByteArray &payload);
    void publishEvent(const QByteArray &topic, const QByteArray &payload);
    // "offline", then what the outbox holds for up to timeoutMs while connected, then away.
    void stop(int timeoutMs);

    bool isConnected() const { return connected.load(); }
    int outboxSize() const;
    quint64 outboxDropped() const;

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    void run();
    // Under lock; publishes with the lock released around the library's calls.
    void sendPending(std::unique_lock<std::mutex> &lock);
    bool publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int *mid);
    void log(int priority, const QString &text) const;

    const Settings settings;
    Outbox &outbox;
    mosquitto *client = nullptr;
    std::function<void(int, const QString &)> logLine;

    mutable std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> connected {false};
    bool connectionNew = false;   // a connection came whose first messages are not sent yet
    bool stopping = false;
    quint64 handedUpTo = 0;       // outbox numbers up to here are with the library
    std::map<QByteArray, QByteArray> states; // the newest of each topic
    std::map<QByteArray, bool> statesDue;    // topics not yet sent since they changed
    std::map<int, quint64> inFlight;         // message id -> outbox number
    std::vector<int> acknowledged;           // message ids from the library's thread
    bool closing = false;
    std::vector<int> closingAcks;
    std::thread worker;
};
