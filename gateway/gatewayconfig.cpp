#include "gateway/gatewayconfig.h"

#include "device/deviceinfo.h"
#include "link/modbusport.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <initializer_list>

#include <fcntl.h>
#include <mosquitto.h>
#include <sys/stat.h>

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
    // Refused unread and never echoed: the messages go to the journal. Without an '@'
    // a URL holds no user information, so the messages below may show it.
    if (url.contains(QLatin1Char('@'))) {
        error = QStringLiteral("'mqtt.url' must not hold a user or password: give them as 'mqtt.username' and "
                               "'mqtt.passwordFile'");
        return false;
    }
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
    if (m.prefix.contains(QLatin1Char('#')) || m.prefix.contains(QLatin1Char('+')) || m.prefix.contains(QChar(0))) {
        error = QStringLiteral("'mqtt.prefix' must not hold +, # or NUL");
        return false;
    }
    // The broker's rules for a topic's text: no control characters or non-characters.
    const QByteArray prefix = m.prefix.toUtf8();
    if (prefix.size() <= GatewayConfig::kMaxTopicBytes
        && mosquitto_validate_utf8(prefix.constData(), prefix.size()) != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("'mqtt.prefix' must be text without control characters");
        return false;
    }
    if (m.prefix.startsWith(QLatin1Char('$'))) {
        error = QStringLiteral("'mqtt.prefix' must not start with $ (the broker's own topics)");
        return false;
    }
    if (!m.passwordFile.isEmpty() && m.username.isEmpty()) {
        error = QStringLiteral("'mqtt.passwordFile' needs 'mqtt.username'");
        return false;
    }
    return true;
}

bool readClient(const QJsonValue &value, const QString &where, GatewayConfig::ModbusServer::Client &client,
                QString &error)
{
    if (!value.isObject()) {
        error = QStringLiteral("'%1' must be an object").arg(where);
        return false;
    }
    const QJsonObject o = value.toObject();
    error = unknownKey(o, {"address", "write"}, where + QLatin1Char('.'));
    if (!error.isEmpty() || !readString(o, "address", where + QLatin1Char('.'), client.address, error, true))
        return false;
    QHostAddress ip;
    if (!ip.setAddress(client.address)) {
        error = QStringLiteral("'%1.address' must be an IP address, not '%2'").arg(where, client.address);
        return false;
    }
    const QJsonValue w = o.value(QLatin1String("write"));
    if (!w.isUndefined() && !w.isBool()) {
        error = QStringLiteral("'%1.write' must be true or false").arg(where);
        return false;
    }
    client.write = w.toBool(false);
    return true;
}

bool readModbusServer(const QJsonValue &value, const QString &where, GatewayConfig::ModbusServer &server,
                      QString &error)
{
    if (!value.isObject()) {
        error = QStringLiteral("'%1' must be an object").arg(where);
        return false;
    }
    const QJsonObject o = value.toObject();
    const QString in = where + QLatin1Char('.');
    error = unknownKey(o, {"listen", "clients", "waitLimitMs", "readShare"}, in);
    if (!error.isEmpty() || !readString(o, "listen", in, server.listen, error, true)
        || !readInt(o, "waitLimitMs", in, 10, kMaxMs, server.waitLimitMs, error))
        return false;
    QString host;
    quint16 port = 0;
    if (!GatewayConfig::splitHostPort(server.listen, host, port)) {
        error = QStringLiteral("'%1listen' must be HOST:PORT, not '%2'").arg(in, server.listen);
        return false;
    }
    const QJsonValue share = o.value(QLatin1String("readShare"));
    if (!share.isUndefined()) {
        if (!share.isDouble() || share.toDouble() <= 0 || share.toDouble() > 1) {
            error = QStringLiteral("'%1readShare' must be a number above 0 and at most 1").arg(in);
            return false;
        }
        server.readShare = share.toDouble();
    }
    const QJsonValue clients = o.value(QLatin1String("clients"));
    if (!clients.isArray() || clients.toArray().isEmpty()
        || clients.toArray().size() > GatewayConfig::ModbusServer::kMaxClients) {
        error = QStringLiteral("'%1clients' must list 1-%2 clients: a client not listed is refused")
                    .arg(in).arg(GatewayConfig::ModbusServer::kMaxClients);
        return false;
    }
    QSet<QString> seen;
    for (int i = 0; i < clients.toArray().size(); ++i) {
        GatewayConfig::ModbusServer::Client c;
        if (!readClient(clients.toArray().at(i), QStringLiteral("%1clients[%2]").arg(in).arg(i), c, error))
            return false;
        const QString key = QHostAddress(c.address).toString();
        if (seen.contains(key)) {
            error = QStringLiteral("'%1clients[%2].address' %3 is listed twice").arg(in).arg(i).arg(c.address);
            return false;
        }
        seen.insert(key);
        server.clients.append(c);
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
    error = unknownKey(o, {"name", "port", "baud", "format", "addresses", "modbusServer"}, where);
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
    if (o.contains(QLatin1String("modbusServer"))) {
        GatewayConfig::ModbusServer server;
        if (!readModbusServer(o.value(QLatin1String("modbusServer")), where + QStringLiteral("modbusServer"), server,
                              error))
            return false;
        line.modbusServer = server;
    }
    return true;
}

// The longest topic of a line, PREFIX/NAME/LINE/ADDRESS/oscillogram, within MQTT's bound.
bool topicsFit(const GatewayConfig &c, int index, QString &error)
{
    const GatewayConfig::Line &line = c.lines.at(index);
    const int address = *std::max_element(line.addresses.begin(), line.addresses.end());
    const QString longest = c.mqtt->prefix + QLatin1Char('/') + c.name + QLatin1Char('/') + line.name
                            + QLatin1Char('/') + QString::number(address) + QStringLiteral("/oscillogram");
    const int bytes = longest.toUtf8().size();
    if (bytes <= GatewayConfig::kMaxTopicBytes)
        return true;
    error = QStringLiteral("the topics of 'lines[%1]' (PREFIX/NAME/LINE/ADDRESS/oscillogram) would be %2 bytes, "
                           "past MQTT's %3: shorten 'mqtt.prefix', 'name' or 'lines[%1].name'")
                .arg(index).arg(bytes).arg(GatewayConfig::kMaxTopicBytes);
    return false;
}

bool readLines(const QJsonArray &lines, GatewayConfig &c, QString &error)
{
    if (lines.size() > GatewayConfig::kMaxLines) {
        error = QStringLiteral("'lines' holds %1 lines, one gateway polls at most %2 (a thread each): split them "
                               "among gateways").arg(lines.size()).arg(GatewayConfig::kMaxLines);
        return false;
    }
    QSet<QString> names;
    int devices = 0;
    for (int i = 0; i < lines.size(); ++i) {
        GatewayConfig::Line line;
        if (!readLine(lines.at(i), i, line, error))
            return false;
        if (names.contains(line.name)) {
            error = QStringLiteral("'lines[%1].name' '%2' is used twice").arg(i).arg(line.name);
            return false;
        }
        names.insert(line.name);
        if (line.modbusServer) {
            for (const GatewayConfig::Line &other : qAsConst(c.lines))
                if (other.modbusServer && other.modbusServer->listen == line.modbusServer->listen) {
                    error = QStringLiteral("'lines[%1].modbusServer.listen' %2 is also line %3's")
                                .arg(i).arg(line.modbusServer->listen, other.name);
                    return false;
                }
            if (c.metricsListen && *c.metricsListen == line.modbusServer->listen) {
                error = QStringLiteral("'lines[%1].modbusServer.listen' %2 is also 'metrics.listen'")
                            .arg(i).arg(line.modbusServer->listen);
                return false;
            }
        }
        c.lines.append(line);
        if (c.mqtt && !topicsFit(c, i, error))
            return false;
        devices += line.addresses.size();
    }
    if (devices > GatewayConfig::kMaxDevices) {
        error = QStringLiteral("'lines' hold %1 devices, one gateway polls at most %2: split them among gateways")
                    .arg(devices).arg(GatewayConfig::kMaxDevices);
        return false;
    }
    return true;
}

} // namespace

bool GatewayConfig::splitHostPort(const QString &text, QString &host, quint16 &port)
{
    static const QRegularExpression hostPort(QStringLiteral("^(\\[[0-9a-fA-F:]+\\]|[^:\\s]+):(\\d{1,5})$"));
    const QRegularExpressionMatch hp = hostPort.match(text);
    if (!hp.hasMatch() || hp.captured(2).toInt() > 65535)
        return false;
    host = hp.captured(1);
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - 2);
    port = quint16(hp.captured(2).toInt());
    return true;
}

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
        QString host;
        quint16 port = 0;
        if (!splitHostPort(listen, host, port)) {
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
    if (!readLines(lines.toArray(), c, error))
        return c;
    error.clear();
    return c;
}

GatewayConfig GatewayConfig::load(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return {};
    }
    QByteArray bytes;
    for (QByteArray part; bytes.size() <= kMaxFileBytes;) {
        part = file.read(kMaxFileBytes + 1 - bytes.size());
        if (part.isEmpty())
            break;
        bytes += part;
    }
    if (bytes.size() > kMaxFileBytes) {
        error = QStringLiteral("larger than %1 bytes: not a gateway configuration").arg(kMaxFileBytes);
        return {};
    }
    return parse(bytes, error);
}

bool GatewayConfig::readPassword(const QString &path, QString &password, QString &error, QString &warning)
{
    const QString where = QStringLiteral("mqtt.passwordFile %1: ").arg(path);
    // Opened without waiting: a FIFO would hold the start until something writes to it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = where + qt_error_string(errno);
        return false;
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = where + QStringLiteral("not a regular file");
        return false;
    }
    const QByteArray bytes = st.st_size > kMaxPasswordBytes ? QByteArray() : file.read(kMaxPasswordBytes + 1);
    if (st.st_size > kMaxPasswordBytes || bytes.size() > kMaxPasswordBytes) {
        error = where + QStringLiteral("larger than %1 bytes: not a password").arg(kMaxPasswordBytes);
        return false;
    }
    warning = (st.st_mode & S_IROTH) != 0
        ? where + QStringLiteral("every user of the machine may read it (chmod o-r)")
        : QString();
    password = QString::fromUtf8(bytes.trimmed());
    return true;
}
