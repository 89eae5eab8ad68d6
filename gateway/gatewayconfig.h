#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// The gateway's configuration file (JSON, "format": "orbix-gateway", version 1), read
// whole and checked before anything starts: an unknown key or a bad value is named, and
// so is whatever would fail later (a topic MQTT refuses, more lines than it can poll).
struct GatewayConfig
{
    // Each line is a thread of its own; each device about 12 KiB and a dozen metric
    // series. docs/gateway-scale.md measured 100 lines and 1000 devices at 1 Hz; the
    // bounds leave room for its plant of 100 lines with 20 devices each.
    static constexpr int kMaxLines = 128;
    static constexpr int kMaxDevices = 2048;
    static constexpr int kMaxFileBytes = 1 << 20;
    static constexpr int kMaxPasswordBytes = 4096;
    static constexpr int kMaxTopicBytes = 65535; // MQTT's bound of a topic, in UTF-8 bytes

    // Modbus TCP for a line's devices (the unit id is the address), for the masters listed.
    struct ModbusServer {
        struct Client {
            QString address; // an IP address, as the connection comes from
            bool write = false;
        };
        static constexpr int kMaxClients = 64;
        QString listen; // HOST:PORT
        QVector<Client> clients;
        int waitLimitMs = 1500;  // a request waiting longer gets exception 0x0B
        double readShare = 0.2; // of the line's time, for the masters' reads while the poll has work
    };
    struct Line {
        QString name;
        QString port; // as given: COMn, a device path or a network line
        quint32 baud = 19200;
        int frameFormat = 0;
        QVector<int> addresses;
        std::optional<ModbusServer> modbusServer;
    };
    struct Mqtt {
        QString host;
        int port = 1883;
        bool tls = false;
        QString prefix = QStringLiteral("orbix");
        QString username;
        QString passwordFile;
        QString caFile;
        QString outboxFile; // empty: in the state directory
        int outboxLimit = 100000;
    };

    QString name;
    std::optional<Mqtt> mqtt;
    std::optional<QString> metricsListen; // HOST:PORT
    std::optional<QString> historyDb;
    QVector<Line> lines;
    int pollPeriodMs = 1000;   // a device at most this often
    int retryPeriodMs = 10000; // a device that does not answer
    int readTimeoutMs = 0;     // 0: the protocol's by speed
    int replyGapMs = 250;

    // Empty error on success.
    static GatewayConfig parse(const QByteArray &json, QString &error);
    // The file parsed; one over kMaxFileBytes is refused after reading one byte past it
    // (a device such as /dev/zero never ends). The error does not name the path.
    static GatewayConfig load(const QString &path, QString &error);
    // The content of the file mqtt.passwordFile names, without surrounding white space:
    // a regular file of at most kMaxPasswordBytes. warning is set when every user of the
    // machine may read it (group read is left alone: it is how a service's group is given it).
    static bool readPassword(const QString &path, QString &password, QString &error, QString &warning);
    // "1-10", "1,3,5-7" or a JSON array's numbers; false for anything outside 1..247.
    static bool parseAddresses(const QString &text, QVector<int> &out);
    // HOST:PORT or [V6]:PORT with a port of at most 65535.
    static bool splitHostPort(const QString &text, QString &host, quint16 &port);
};
