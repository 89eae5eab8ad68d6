#include "gateway/mqttpublisher.h"

#include "gateway/outbox.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kQosState = 0;
constexpr int kQosEvent = 1;
// Events with the library at a time: enough to keep a distant broker busy, few against
// its 65535 message ids, so that an acknowledgement names one record only.
constexpr int kWindow = 64;
constexpr int kLastMid = 65535;
// The gateway subscribes to nothing: what the broker sends is acknowledgements, ping
// answers and perhaps a disconnect, a few bytes each. The library would take a packet
// of any announced length (up to 256 MiB) into memory; this much without a whole packet
// is a broken or hostile peer.
constexpr quint64 kMaxIncomingBytes = 1 << 20;
constexpr int kPollMs = 500; // the library counts its keep-alive in seconds
constexpr int kLogInfo = 6, kLogWarning = 4, kLogError = 3;

struct LibraryInit {
    LibraryInit() { mosquitto_lib_init(); }
    ~LibraryInit() { mosquitto_lib_cleanup(); }
};

QString reason(int rc, int error)
{
    return rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(strerror(error)) : QString::fromUtf8(mosquitto_strerror(rc));
}

// Bytes the kernel has taken in on the connection since it opened.
quint64 bytesReceived(int fd)
{
    tcp_info info {};
    socklen_t size = sizeof info;
    if (fd < 0 || getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return 0;
    return info.tcpi_bytes_received;
}

// What the library refuses to send whatever the connection: waiting would not help.
bool refusedForGood(int rc)
{
    return rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_MALFORMED_UTF8 || rc == MOSQ_ERR_PAYLOAD_SIZE
           || rc == MOSQ_ERR_OVERSIZE_PACKET;
}

} // namespace

MqttPublisher::MqttPublisher(const Settings &settings, Outbox &outbox)
    : settings(settings)
    , outbox(outbox)
    , receivedPrefix("Client " + settings.clientId.toUtf8() + " received ")
{
    static LibraryInit init;
}

MqttPublisher::~MqttPublisher()
{
    stop(0);
}

void MqttPublisher::log(int priority, const QString &text) const
{
    if (logLine)
        logLine(priority, text);
}

// A client for one connection; also checks the settings at start.
mosquitto *MqttPublisher::newClient(QString &error)
{
    mosquitto *c = mosquitto_new(settings.clientId.toUtf8().constData(), true, this);
    if (!c) {
        error = QStringLiteral("cannot create the MQTT client");
        return nullptr;
    }
    mosquitto_connect_callback_set(c, onConnect);
    mosquitto_disconnect_callback_set(c, onDisconnect);
    mosquitto_publish_callback_set(c, onPublish);
    mosquitto_log_callback_set(c, onLog);
    const QByteArray offline("offline");
    int rc = mosquitto_max_inflight_messages_set(c, kWindow + 2); // the window, "online", "offline"
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(c, settings.statusTopic.constData(), offline.size(), offline.constData(), kQosEvent, true);
    if (rc == MOSQ_ERR_SUCCESS && !settings.username.isEmpty())
        rc = mosquitto_username_pw_set(c, settings.username.toUtf8().constData(),
                                       settings.password.isEmpty() ? nullptr : settings.password.toUtf8().constData());
    if (rc == MOSQ_ERR_SUCCESS && settings.tls)
        rc = mosquitto_tls_set(c, settings.caFile.isEmpty() ? nullptr : settings.caFile.toUtf8().constData(),
                               settings.caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("MQTT settings refused: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
        mosquitto_destroy(c);
        return nullptr;
    }
    return c;
}

bool MqttPublisher::start(QString &error)
{
    mosquitto *probe = newClient(error);
    if (!probe)
        return false;
    mosquitto_destroy(probe);
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        error = QStringLiteral("MQTT client thread: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    worker = std::thread([this] { run(); });
    return true;
}

void MqttPublisher::wake()
{
    const uint64_t one = 1;
    if (wakeFd >= 0 && write(wakeFd, &one, sizeof one) < 0) {
        // the counter is full: the worker is awake anyway
    }
}

void MqttPublisher::publishState(const QByteArray &topic, const QByteArray &payload)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        states[topic] = payload;
        statesDue[topic] = true;
    }
    wake();
}

void MqttPublisher::publishEvent(const QByteArray &topic, const QByteArray &payload)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        outbox.push({topic, payload});
    }
    wake();
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

quint64 MqttPublisher::outboxDamaged() const
{
    std::lock_guard<std::mutex> guard(lock);
    return outbox.damaged();
}

void MqttPublisher::stop(int timeoutMs)
{
    if (!worker.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
        stopDeadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    wake();
    worker.join();
    close(wakeFd);
    wakeFd = -1;
    std::lock_guard<std::mutex> guard(lock);
    outbox.compact();
}

// The library calls these from within the worker's calls, some of them made under the
// lock: they only note, the worker acts.
void MqttPublisher::onConnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<MqttPublisher *>(self);
    if (rc != 0) {
        p->log(kLogError, QStringLiteral("broker refused the connection: %1")
                              .arg(QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    p->up = p->fresh = true;
    p->quiet = false;
    p->connected = true;
    p->log(kLogInfo, QStringLiteral("connected to the broker %1:%2").arg(p->settings.host).arg(p->settings.port));
}

void MqttPublisher::onDisconnect(mosquitto *, void *self, int)
{
    auto *p = static_cast<MqttPublisher *>(self);
    p->lost = true;
    p->connected = false;
}

void MqttPublisher::onPublish(mosquitto *, void *self, int mid)
{
    // A message of QoS 0 is reported when written: its id is never one in flight, as
    // nothing is published while the next id is (see publish()).
    auto *p = static_cast<MqttPublisher *>(self);
    const auto it = p->inFlight.find(mid);
    if (it == p->inFlight.end())
        return;
    if (it->second == 0)
        p->offlineAcknowledged = true;
    else
        p->acknowledged.push_back(it->second);
    p->inFlight.erase(it);
}

void MqttPublisher::onLog(mosquitto *client, void *self, int level, const char *text)
{
    auto *p = static_cast<MqttPublisher *>(self);
    if (level == MOSQ_LOG_DEBUG && (strncmp(text, p->receivedPrefix.constData(), size_t(p->receivedPrefix.size())) == 0
                                    || strncmp(text, "Received DISCONNECT", 19) == 0))
        p->receivedAtPacket = bytesReceived(mosquitto_socket(client));
}

void MqttPublisher::run()
{
    int waitMs = settings.reconnectFirstMs;
    for (;;) {
        const qint64 lastedMs = connectOnce();
        if (lastedMs >= settings.reconnectLongestMs)
            waitMs = settings.reconnectFirstMs;
        if (!pause(waitMs))
            break;
        waitMs = std::min(waitMs * 2, settings.reconnectLongestMs);
    }
    connected = false;
}

// False when a stop is asked for.
bool MqttPublisher::pause(int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (stopping)
                return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return true;
        pollfd wakeUp {wakeFd, POLLIN, 0};
        if (poll(&wakeUp, 1, int(left)) > 0) {
            uint64_t count;
            if (read(wakeFd, &count, sizeof count) < 0) {
                // nothing to clear
            }
        }
    }
}

// One connection from its attempt to its end; how long the broker had it, -1 never.
qint64 MqttPublisher::connectOnce()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (stopping)
            return -1;
    }
    QString refused;
    client = newClient(refused);
    if (!client) {
        log(kLogError, refused);
        return -1;
    }
    up = fresh = lost = offlineSent = offlineAcknowledged = false;
    lastMid = 0;
    handedUpTo = receivedAtPacket = 0;
    inFlight.clear();
    acknowledged.clear();
    int rc = mosquitto_connect_async(client, settings.host.toUtf8().constData(), settings.port, settings.keepAliveSeconds);
    int error = errno;
    Clock::time_point since;
    int pollMs = kPollMs;
    bool stopped = false;
    while (rc == MOSQ_ERR_SUCCESS && !lost) {
        rc = service(pollMs);
        error = errno;
        if (up && since == Clock::time_point())
            since = Clock::now();
        if (!feed(pollMs)) {
            stopped = true;
            break;
        }
    }
    mosquitto_destroy(client);
    client = nullptr;
    connected = false;
    const QString why = rc == MOSQ_ERR_SUCCESS ? QString() : QStringLiteral(" (%1)").arg(reason(rc, error));
    if (up && !stopped) {
        log(kLogWarning, QStringLiteral("connection to the broker lost%1; events wait in the outbox").arg(why));
    } else if (!up && !stopped && !quiet && rc != MOSQ_ERR_CONN_REFUSED) {
        quiet = true; // told once until the broker is there
        log(kLogWarning, QStringLiteral("broker %1:%2 not reached%3; trying again")
                             .arg(settings.host).arg(settings.port).arg(why));
    }
    return up ? std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count() : -1;
}

// Waits for the socket or a hand-over, then lets the library read, write and keep alive.
int MqttPublisher::service(int timeoutMs)
{
    const int fd = mosquitto_socket(client);
    if (fd < 0)
        return MOSQ_ERR_NO_CONN;
    pollfd fds[2] = {{fd, short(POLLIN | (mosquitto_want_write(client) ? POLLOUT : 0)), 0}, {wakeFd, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
        return MOSQ_ERR_ERRNO;
    if (fds[1].revents & POLLIN) {
        uint64_t count;
        if (read(wakeFd, &count, sizeof count) < 0) {
            // nothing to clear
        }
    }
    int rc = MOSQ_ERR_SUCCESS;
    // Reading also takes a TLS handshake on, as the library's own loop does on either.
    if (fds[0].revents)
        rc = mosquitto_loop_read(client, 1);
    if (rc == MOSQ_ERR_SUCCESS && bytesReceived(mosquitto_socket(client)) > receivedAtPacket + kMaxIncomingBytes) {
        log(kLogWarning, QStringLiteral("the broker sent more than %1 bytes without a whole packet").arg(kMaxIncomingBytes));
        return MOSQ_ERR_OVERSIZE_PACKET;
    }
    if (rc == MOSQ_ERR_SUCCESS && (fds[0].revents & POLLOUT) && mosquitto_socket(client) >= 0)
        rc = mosquitto_loop_write(client, 1);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_loop_misc(client);
    return rc;
}

// What came acknowledged leaves the outbox, what waits is handed to the library; and a
// stop asked for is carried out. False when the connection is to end.
bool MqttPublisher::feed(int &pollMs)
{
    std::lock_guard<std::mutex> guard(lock);
    for (quint64 number : acknowledged)
        outbox.remove(number);
    acknowledged.clear();
    pollMs = kPollMs;
    if (!up)
        return !stopping;
    if (fresh) {
        fresh = false;
        int rc;
        publish(settings.statusTopic, QByteArrayLiteral("online"), kQosEvent, true, rc);
        for (auto &s : statesDue)
            s.second = true;
    }
    sendStates();
    if (!offlineSent)
        sendEvents();
    if (!stopping)
        return true;
    // What is queued leaves first, then the word that we are gone.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(stopDeadline - Clock::now()).count();
    pollMs = int(std::clamp<qint64>(left, 0, kPollMs));
    int rc;
    if (!offlineSent && (outbox.size() == 0 || left <= 0)) {
        offlineSent = true;
        offlineAcknowledged = !publish(settings.statusTopic, QByteArrayLiteral("offline"), kQosEvent, true, rc);
        if (!offlineAcknowledged)
            inFlight[lastMid] = 0;
    }
    if (offlineSent && (offlineAcknowledged || left <= 0)) {
        mosquitto_disconnect(client);
        return false;
    }
    return true;
}

void MqttPublisher::sendStates()
{
    for (auto &s : statesDue) {
        if (!s.second)
            continue;
        int rc;
        if (publish(s.first, states[s.first], kQosState, true, rc)) {
            s.second = false;
        } else if (refusedForGood(rc)) {
            s.second = false;
            log(kLogWarning, QStringLiteral("state on %1 not sent: %2").arg(QString::fromUtf8(s.first.toBase64()),
                                                                          reason(rc, 0)));
        } else {
            return; // sent on the next turn, or at the next connection
        }
    }
}

void MqttPublisher::sendEvents()
{
    while (int(inFlight.size()) < kWindow) {
        const auto next = outbox.from(handedUpTo + 1);
        if (next == outbox.end())
            return;
        const quint64 number = next->first;
        int rc;
        if (publish(next->second.topic, next->second.payload, kQosEvent, false, rc)) {
            inFlight[lastMid] = number;
        } else if (refusedForGood(rc)) {
            log(kLogWarning, QStringLiteral("event %1 refused by the MQTT library: %2").arg(number).arg(reason(rc, 0)));
            outbox.setAside(number);
        } else {
            return;
        }
        handedUpTo = number;
    }
}

// One message to the library, unless the id it would take is one still in flight
// (after 65535 messages in one connection): an acknowledgement must name one message.
bool MqttPublisher::publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int &rc)
{
    const int nextMid = lastMid == kLastMid ? 1 : lastMid + 1;
    if (inFlight.count(nextMid)) {
        rc = MOSQ_ERR_SUCCESS;
        return false;
    }
    int mid = 0;
    rc = mosquitto_publish(client, &mid, topic.constData(), payload.size(), payload.constData(), qos, retain);
    if (mid != 0)
        lastMid = mid;
    return rc == MOSQ_ERR_SUCCESS;
}
