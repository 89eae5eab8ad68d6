#include "gateway/mqttpublisher.h"

#include "gateway/outbox.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kQosState = 0;
constexpr int kQosEvent = 1;
constexpr int kReconnectMinSeconds = 1;
constexpr int kReconnectMaxSeconds = 5;
constexpr int kLogInfo = 6, kLogWarning = 4, kLogError = 3;

struct LibraryInit {
    LibraryInit() { mosquitto_lib_init(); }
    ~LibraryInit() { mosquitto_lib_cleanup(); }
};

} // namespace

MqttPublisher::MqttPublisher(const Settings &settings, Outbox &outbox)
    : settings(settings)
    , outbox(outbox)
{
    static LibraryInit init;
}

MqttPublisher::~MqttPublisher()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    changed.notify_all();
    if (worker.joinable())
        worker.join();
    if (client) {
        mosquitto_loop_stop(client, true);
        mosquitto_destroy(client);
    }
}

void MqttPublisher::log(int priority, const QString &text) const
{
    if (logLine)
        logLine(priority, text);
}

bool MqttPublisher::start(QString &error)
{
    client = mosquitto_new(settings.clientId.toUtf8().constData(), true, this);
    if (!client) {
        error = QStringLiteral("cannot create the MQTT client");
        return false;
    }
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_disconnect_callback_set(client, onDisconnect);
    mosquitto_publish_callback_set(client, onPublish);
    mosquitto_reconnect_delay_set(client, kReconnectMinSeconds, kReconnectMaxSeconds, true);
    const QByteArray offline("offline");
    int rc = mosquitto_will_set(client, settings.statusTopic.constData(), offline.size(), offline.constData(),
                                kQosEvent, true);
    if (rc == MOSQ_ERR_SUCCESS && !settings.username.isEmpty())
        rc = mosquitto_username_pw_set(client, settings.username.toUtf8().constData(),
                                       settings.password.isEmpty() ? nullptr : settings.password.toUtf8().constData());
    if (rc == MOSQ_ERR_SUCCESS && settings.tls)
        rc = mosquitto_tls_set(client, settings.caFile.isEmpty() ? nullptr : settings.caFile.toUtf8().constData(),
                               settings.caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("MQTT settings refused: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
        return false;
    }
    worker = std::thread([this] { run(); });
    rc = mosquitto_connect_async(client, settings.host.toUtf8().constData(), settings.port, settings.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) // the library's loop keeps trying
        log(kLogWarning, QStringLiteral("broker %1:%2 not reached: %3")
                             .arg(settings.host).arg(settings.port).arg(QString::fromUtf8(mosquitto_strerror(rc))));
    rc = mosquitto_loop_start(client);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("MQTT client thread: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
        return false;
    }
    return true;
}

void MqttPublisher::onConnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<MqttPublisher *>(self);
    if (rc != 0) {
        p->log(kLogError, QStringLiteral("broker refused the connection: %1")
                              .arg(QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->connected = true;
        p->connectionNew = true;
    }
    p->log(kLogInfo, QStringLiteral("connected to the broker %1:%2").arg(p->settings.host).arg(p->settings.port));
    p->changed.notify_all();
}

void MqttPublisher::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<MqttPublisher *>(self);
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->connected = false;
    }
    if (rc != 0)
        p->log(kLogWarning, QStringLiteral("connection to the broker lost; events wait in the outbox"));
    p->changed.notify_all();
}

void MqttPublisher::onPublish(mosquitto *, void *self, int mid)
{
    auto *p = static_cast<MqttPublisher *>(self);
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->acknowledged.push_back(mid);
    }
    p->changed.notify_all();
}

bool MqttPublisher::publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int *mid)
{
    return mosquitto_publish(client, mid, topic.constData(), payload.size(), payload.constData(), qos, retain)
        == MOSQ_ERR_SUCCESS;
}

void MqttPublisher::publishState(const QByteArray &topic, const QByteArray &payload)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        states[topic] = payload;
        statesDue[topic] = true;
    }
    changed.notify_all();
}

void MqttPublisher::publishEvent(const QByteArray &topic, const QByteArray &payload)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        outbox.push({topic, payload});
    }
    changed.notify_all();
}

int MqttPublisher::outboxSize() const
{
    std::lock_guard<std::mutex> guard(lock);
    return outbox.size();
}

quint64 MqttPublisher::outboxDropped() const
{
    std::lock_guard<std::mutex> guard(lock);
    return outbox.dropped();
}

void MqttPublisher::run()
{
    std::unique_lock<std::mutex> guard(lock);
    while (!stopping) {
        for (int mid : acknowledged) {
            if (closing)
                closingAcks.push_back(mid);
            const auto it = inFlight.find(mid);
            if (it != inFlight.end()) {
                outbox.remove(it->second);
                inFlight.erase(it);
            }
        }
        acknowledged.clear();
        if (connected)
            sendPending(guard);
        changed.notify_all(); // a stop waits for the outbox to empty
        changed.wait(guard);
    }
}

void MqttPublisher::sendPending(std::unique_lock<std::mutex> &guard)
{
    if (connectionNew) {
        connectionNew = false;
        // What the library had not confirmed is sent again: at least once, never lost.
        inFlight.clear();
        handedUpTo = 0;
        for (auto &s : statesDue)
            s.second = true;
        guard.unlock();
        publish(settings.statusTopic, QByteArrayLiteral("online"), kQosEvent, true, nullptr);
        guard.lock();
    }
    for (auto &s : statesDue) {
        if (!s.second || !connected)
            continue;
        const QByteArray topic = s.first, payload = states[topic];
        s.second = false;
        guard.unlock();
        const bool ok = publish(topic, payload, kQosState, true, nullptr);
        guard.lock();
        if (!ok)
            statesDue[topic] = true; // sent at the next connection
    }
    while (connected) {
        const auto next = outbox.from(handedUpTo + 1);
        if (next == outbox.end())
            break;
        const quint64 number = next->first;
        const Outbox::Message message = next->second;
        int mid = 0;
        guard.unlock();
        const bool ok = publish(message.topic, message.payload, kQosEvent, false, &mid);
        guard.lock();
        if (!ok)
            break;
        handedUpTo = number;
        inFlight[mid] = number;
        // An acknowledgement may have come before the id was known here.
        for (auto it = acknowledged.begin(); it != acknowledged.end(); ++it)
            if (*it == mid) {
                outbox.remove(number);
                inFlight.erase(mid);
                acknowledged.erase(it);
                break;
            }
    }
}

void MqttPublisher::stop(int timeoutMs)
{
    if (!client)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> guard(lock);
    // What is queued leaves first, then the word that we are gone.
    changed.wait_until(guard, deadline, [this] { return !connected || outbox.size() == 0; });
    int mid = 0;
    const bool wasConnected = connected;
    closing = true; // acknowledgements from here on are kept for the wait below
    guard.unlock();
    if (wasConnected && publish(settings.statusTopic, QByteArrayLiteral("offline"), kQosEvent, true, &mid)) {
        guard.lock();
        changed.wait_until(guard, deadline, [this, mid] {
            return !connected || std::find(closingAcks.begin(), closingAcks.end(), mid) != closingAcks.end();
        });
        guard.unlock();
    }
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
    client = nullptr;
    {
        std::lock_guard<std::mutex> g(lock);
        stopping = true;
    }
    changed.notify_all();
    if (worker.joinable())
        worker.join();
}
