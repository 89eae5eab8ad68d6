#include "gateway/gatewayconfig.h"

#include "device/deviceinfo.h"
#include "link/modbusport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <initializer_list>

namespace {

constexpr int kMaxMs = 600000;

// The first key of object not among known, with where it is; empty when all are known.
QString unknownKey(const QJsonObject &object, std::initializer_list<const char *> known, const QString &where)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool found = false;
        for (const char *k : known)
            found = found || it.key() == QLatin1String(k);
        if (!found)
            return QStringLiteral("unknown key '%1%2'").arg(where, it.key());
    }
    return {};
}

bool readString(const QJsonObject &o, const char *key, const QString &where, QString &out, QString &error,
                bool required = false)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) {
        if (required)
            error = QStringLiteral("'%1%2' is missing").arg(where, QLatin1String(key));
        return !required;
    }
    if (!v.isString() || v.toString().isEmpty()) {
        error = QStringLiteral("'%1%2' must be a non-empty string").arg(where, QLatin1String(key));
        return false;
    }
    out = v.toString();
    return true;
}

bool readInt(const QJsonObject &o, const char *key, const QString &where, int low, int high, int &out, QString &error)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    const double d = v.toDouble(-1e300);
    if (!v.isDouble() || d != double(qint64(d)) || d < low || d > high) {
        error = QStringLiteral("'%1%2' must be an integer %3-%4").arg(where, QLatin1String(key)).arg(low).arg(high);
        return false;
    }
    out = int(d);
    return true;
}

// A line's or the gateway's name goes into topics and labels: no MQTT wildcards or separators.
bool validName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return re.match(name).hasMatch();
}

bool readMqtt(const QJsonObject &o, GatewayConfig::Mqtt &m, QString &error)
{
    const QString where = QStringLiteral("mqtt.");
    error = unknownKey(o, {"url", "prefix", "username", "passwordFile", "caFile", "outbox", "outboxLimit"}, where);
    if (!error.isEmpty())
        return false;
    QString url;
    if (!readString(o, "url", where, url, error, true))
        return false;
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || (u.scheme() != QLatin1String("mqtt") && u.scheme() != QLatin1String("mqtts"))
        || u.host().isEmpty() || !(u.path().isEmpty() || u.path() == QLatin1String("/"))) {
        error = QStringLiteral("'mqtt.url' must be mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not '%1'").arg(url);
        return false;
    }
    m.tls = u.scheme() == QLatin1String("mqtts");
    m.host = u.host();
    m.port = u.port(m.tls ? 8883 : 1883);
    if (!readString(o, "prefix", where, m.prefix, error) || !readString(o, "username", where, m.username, error)
        || !readString(o, "passwordFile", where, m.passwordFile, error)
        || !readString(o, "caFile", where, m.caFile, error) || !readString(o, "outbox", where, m.outboxFile, error)
        || !readInt(o, "outboxLimit", where, 1, 100000000, m.outboxLimit, error))
        return false;
    if (m.prefix.contains(QLatin1Char('#')) || m.prefix.contains(QLatin1Char('+'))) {
        error = QStringLiteral("'mqtt.prefix' must not hold + or #");
        return false;
    }
    if (!m.passwordFile.isEmpty() && m.username.isEmpty()) {
        error = QStringLiteral("'mqtt.passwordFile' needs 'mqtt.username'");
        return false;
    }
    return true;
}

bool readLine(const QJsonValue &value, int index, GatewayConfig::Line &line, QString &error)
{
    const QString where = QStringLiteral("lines[%1].").arg(index);
    if (!value.isObject()) {
        error = QStringLiteral("'lines[%1]' must be an object").arg(index);
        return false;
    }
    const QJsonObject o = value.toObject();
    error = unknownKey(o, {"name", "port", "baud", "format", "addresses"}, where);
    if (!error.isEmpty())
        return false;
    if (!readString(o, "name", where, line.name, error, true) || !readString(o, "port", where, line.port, error, true))
        return false;
    if (!validName(line.name)) {
        error = QStringLiteral("'%1name' may hold only letters, digits, '_', '-' and '.'").arg(where);
        return false;
    }
    int baud = int(line.baud);
    if (!readInt(o, "baud", where, 1, 4000000, baud, error))
        return false;
    line.baud = quint32(baud);
    QString format = QStringLiteral("8E1");
    if (!readString(o, "format", where, format, error))
        return false;
    line.frameFormat = DeviceInfo::formatCode(format);
    if (line.frameFormat < 0) {
        error = QStringLiteral("'%1format' must be 8E1, 8O1, 8N15 or 8N2, not '%2'").arg(where, format);
        return false;
    }
    const QJsonValue a = o.value(QLatin1String("addresses"));
    bool ok = false;
    if (a.isString()) {
        ok = GatewayConfig::parseAddresses(a.toString(), line.addresses);
    } else if (a.isArray()) {
        QStringList parts;
        for (const QJsonValue &n : a.toArray())
            parts << (n.isDouble() ? QString::number(n.toDouble(), 'g', 16) : QStringLiteral("x"));
        ok = !parts.isEmpty() && GatewayConfig::parseAddresses(parts.join(QLatin1Char(',')), line.addresses);
    }
    if (!ok) {
        error = QStringLiteral("'%1addresses' must be a list of addresses 1-247 or a range such as \"1-10\"").arg(where);
        return false;
    }
    return true;
}

} // namespace

bool GatewayConfig::parseAddresses(const QString &text, QVector<int> &out)
{
    out.clear();
    QSet<int> seen;
    static const QRegularExpression item(QStringLiteral("^\\s*(\\d+)\\s*(?:-\\s*(\\d+)\\s*)?$"));
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = item.match(part);
        if (!m.hasMatch())
            return false;
        const int first = m.captured(1).toInt();
        const int last = m.captured(2).isEmpty() ? first : m.captured(2).toInt();
        if (first < 1 || last > ModbusPort::kMaxSlaveAddress || last < first)
            return false;
        for (int a = first; a <= last; ++a)
            if (!seen.contains(a)) {
                seen.insert(a);
                out.append(a);
            }
    }
    return !out.isEmpty();
}

GatewayConfig GatewayConfig::parse(const QByteArray &json, QString &error)
{
    GatewayConfig c;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        error = parseError.error != QJsonParseError::NoError
                    ? QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset)
                    : QStringLiteral("not a JSON object");
        return c;
    }
    const QJsonObject o = doc.object();
    error = unknownKey(o, {"format", "version", "name", "mqtt", "metrics", "history", "lines", "timing"}, QString());
    if (!error.isEmpty())
        return c;
    if (o.value(QLatin1String("format")).toString() != QLatin1String("orbix-gateway")) {
        error = QStringLiteral("'format' must be \"orbix-gateway\"");
        return c;
    }
    if (o.value(QLatin1String("version")) != QJsonValue(1)) {
        error = QStringLiteral("'version' must be 1");
        return c;
    }
    if (!readString(o, "name", QString(), c.name, error, true))
        return c;
    if (!validName(c.name)) {
        error = QStringLiteral("'name' may hold only letters, digits, '_', '-' and '.'");
        return c;
    }
    for (const char *section : {"mqtt", "metrics", "history", "timing"})
        if (o.contains(QLatin1String(section)) && !o.value(QLatin1String(section)).isObject()) {
            error = QStringLiteral("'%1' must be an object").arg(QLatin1String(section));
            return c;
        }
    if (o.contains(QLatin1String("mqtt"))) {
        Mqtt m;
        if (!readMqtt(o.value(QLatin1String("mqtt")).toObject(), m, error))
            return c;
        c.mqtt = m;
    }
    if (o.contains(QLatin1String("metrics"))) {
        const QJsonObject m = o.value(QLatin1String("metrics")).toObject();
        QString listen;
        error = unknownKey(m, {"listen"}, QStringLiteral("metrics."));
        if (!error.isEmpty() || !readString(m, "listen", QStringLiteral("metrics."), listen, error, true))
            return c;
        static const QRegularExpression hostPort(QStringLiteral("^(\\[[0-9a-fA-F:]+\\]|[^:\\s]+):(\\d{1,5})$"));
        const QRegularExpressionMatch hp = hostPort.match(listen);
        if (!hp.hasMatch() || hp.captured(2).toInt() > 65535) {
            error = QStringLiteral("'metrics.listen' must be HOST:PORT, not '%1'").arg(listen);
            return c;
        }
        c.metricsListen = listen;
    }
    if (o.contains(QLatin1String("history"))) {
        const QJsonObject h = o.value(QLatin1String("history")).toObject();
        QString db;
        error = unknownKey(h, {"db"}, QStringLiteral("history."));
        if (!error.isEmpty() || !readString(h, "db", QStringLiteral("history."), db, error, true))
            return c;
        c.historyDb = db;
    }
    if (o.contains(QLatin1String("timing"))) {
        const QJsonObject t = o.value(QLatin1String("timing")).toObject();
        const QString where = QStringLiteral("timing.");
        error = unknownKey(t, {"pollPeriodMs", "retryPeriodMs", "readTimeoutMs", "replyGapMs"}, where);
        if (!error.isEmpty() || !readInt(t, "pollPeriodMs", where, 10, kMaxMs, c.pollPeriodMs, error)
            || !readInt(t, "retryPeriodMs", where, 10, kMaxMs, c.retryPeriodMs, error)
            || !readInt(t, "readTimeoutMs", where, 0, kMaxMs, c.readTimeoutMs, error)
            || !readInt(t, "replyGapMs", where, 1, 10000, c.replyGapMs, error))
            return c;
    }
    const QJsonValue lines = o.value(QLatin1String("lines"));
    if (!lines.isArray() || lines.toArray().isEmpty()) {
        error = QStringLiteral("'lines' must be a non-empty array");
        return c;
    }
    QSet<QString> names;
    for (int i = 0; i < lines.toArray().size(); ++i) {
        Line line;
        if (!readLine(lines.toArray().at(i), i, line, error))
            return c;
        if (names.contains(line.name)) {
            error = QStringLiteral("'lines[%1].name' '%2' is used twice").arg(i).arg(line.name);
            return c;
        }
        names.insert(line.name);
        c.lines.append(line);
    }
    error.clear();
    return c;
}
