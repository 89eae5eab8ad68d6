#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// The gateway's configuration file (JSON, "format": "orbix-gateway", version 1), read
// whole and checked before anything starts: an unknown key or a bad value is named.
struct GatewayConfig
{
    struct Line {
        QString name;
        QString port; // as given: COMn, a device path or a network line
        quint32 baud = 19200;
        int frameFormat = 0;
        QVector<int> addresses;
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
    // "1-10", "1,3,5-7" or a JSON array's numbers; false for anything outside 1..247.
    static bool parseAddresses(const QString &text, QVector<int> &out);
};
