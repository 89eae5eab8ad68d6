// The Grafana dashboard and the alert rules against a real Prometheus scraping the
// whole gateway, which polls the simulator on a pseudo-terminal: every panel's query
// (its variables set to all and to two devices) is taken by Prometheus, and those over
// what the gateway exports with no master on its lines have data; the variables'
// queries find the line and the devices; the alert rules load and evaluate.
#include "sim/simtcpserver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace {

constexpr int kStartMs = 20000;
constexpr int kDataMs = 30000; // a rate over the window needs two scrapes of a series

// A process stopped by its id whatever the test's outcome.
struct Peer {
    QProcess process;
    ~Peer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000)) {
                process.kill();
                process.waitForFinished(5000);
            }
        }
    }
};

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name), {"/usr/sbin", "/usr/bin"});
}

// The variables as Grafana fills them in: "All" is the variables' allValue.
QString substituted(QString expr, const QString &line, const QString &address)
{
    return expr.replace("$line", line).replace("$address", address);
}

} // namespace

class TestDashboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void panelQueries_data();
    void panelQueries();
    void variables();
    void alertRules();

private:
    // Prometheus's answer to GET path?query, parsed; empty when none came or it is not JSON.
    QJsonObject api(const QString &path, const QUrlQuery &query);
    QJsonObject instant(const QString &expr) { return api("/api/v1/query", QUrlQuery {{"query", expr}}); }

    QNetworkAccessManager network;
    QTemporaryDir dir;
    Peer sim, gateway, prometheus;
    quint16 prometheusPort = 0;
    QJsonObject dashboard;
};

QJsonObject TestDashboard::api(const QString &path, const QUrlQuery &query)
{
    QUrl url(QStringLiteral("http://127.0.0.1:%1%2").arg(prometheusPort).arg(path));
    // Every character encoded: a bare '+' of a query would reach Prometheus as a space.
    QByteArrayList items;
    for (const auto &item : query.queryItems(QUrl::FullyDecoded))
        items << item.first.toUtf8() + '=' + QUrl::toPercentEncoding(item.second);
    url.setQuery(QString::fromLatin1(items.join('&')), QUrl::StrictMode);
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(url)));
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 10000))
        return {};
    return QJsonDocument::fromJson(reply->readAll()).object();
}

void TestDashboard::initTestCase()
{
    if (tool("prometheus").isEmpty())
        QSKIP("prometheus is not installed");
    QFile file(ORBIX_DASHBOARD);
    QVERIFY(file.open(QIODevice::ReadOnly));
    dashboard = QJsonDocument::fromJson(file.readAll()).object();
    QVERIFY(!dashboard["panels"].toArray().isEmpty());
    QVERIFY(dir.isValid());

    // Devices 1 and 2 answer; 3 is on the line's list but not on the line: its requests time out.
    sim.process.start(ORBIX_SIM, {"--device", "1", "--device", "2:80"});
    QVERIFY(sim.process.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return sim.process.canReadLine(); }, kStartMs));
    const QString pty = QString::fromUtf8(sim.process.readLine()).trimmed();
    QVERIFY2(pty.startsWith("/dev/"), qPrintable(pty));

    const quint16 metricsPort = SimTcpServer::unusedLoopbackPort();
    const QJsonObject config {
        {"format", "orbix-gateway"}, {"version", 1}, {"name", "dash"},
        {"metrics", QJsonObject {{"listen", QStringLiteral("127.0.0.1:%1").arg(metricsPort)}}},
        {"timing", QJsonObject {{"pollPeriodMs", 200}, {"retryPeriodMs", 500}, {"readTimeoutMs", 300}}},
        {"lines", QJsonArray {QJsonObject {{"name", "L"}, {"port", pty}, {"addresses", "1-3"}}}}};
    QFile gatewayConfig(dir.filePath("gateway.json"));
    QVERIFY(gatewayConfig.open(QIODevice::WriteOnly));
    gatewayConfig.write(QJsonDocument(config).toJson());
    gatewayConfig.close();
    gateway.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    gateway.process.start(ORBIX_GATEWAY, {"--config", gatewayConfig.fileName()});
    QVERIFY(gateway.process.waitForStarted());

    // As docs/gateway.md tells a plant to: the gateway scraped, the alert rules loaded.
    prometheusPort = SimTcpServer::unusedLoopbackPort();
    QFile prometheusConfig(dir.filePath("prometheus.yml"));
    QVERIFY(prometheusConfig.open(QIODevice::WriteOnly));
    prometheusConfig.write(QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                          "rule_files:\n  - %1\n"
                                          "scrape_configs:\n  - job_name: orbix-gateway\n"
                                          "    static_configs:\n      - targets: ['127.0.0.1:%2']\n")
                               .arg(ORBIX_ALERTS).arg(metricsPort).toUtf8());
    prometheusConfig.close();
    prometheus.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    prometheus.process.start(tool("prometheus"), {"--config.file=" + prometheusConfig.fileName(),
                                                  "--storage.tsdb.path=" + dir.filePath("data"),
                                                  QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort)});
    QVERIFY(prometheus.process.waitForStarted());
    QVERIFY2(QTest::qWaitFor([&] {
        const QJsonArray result = instant("up{job=\"orbix-gateway\"} == 1")["data"].toObject()["result"].toArray();
        return !result.isEmpty();
    }, kStartMs), "Prometheus does not scrape the gateway");
}

void TestDashboard::panelQueries_data()
{
    QTest::addColumn<QString>("expr");
    QTest::addColumn<bool>("hasData");
    for (const QJsonValue p : dashboard["panels"].toArray()) {
        const QJsonObject panel = p.toObject();
        for (const QJsonValue t : panel["targets"].toArray()) {
            const QString expr = t.toObject()["expr"].toString();
            // The masters' series come with the first master on a line; none is here.
            const bool hasData = !expr.contains("orbix_master_");
            const QString name = panel["title"].toString() + ' ' + t.toObject()["refId"].toString();
            QTest::newRow(qPrintable(name + " (all)")) << substituted(expr, ".*", ".*") << hasData;
            // Two devices chosen, as Grafana writes them: one that answers, one that does not.
            QTest::newRow(qPrintable(name + " (two)")) << substituted(expr, "L", "(1|3)") << hasData;
        }
    }
}

void TestDashboard::panelQueries()
{
    QFETCH(QString, expr);
    QFETCH(bool, hasData);
    QVERIFY(!expr.isEmpty());
    QJsonObject answer;
    const bool done = QTest::qWaitFor([&] {
        answer = instant(expr);
        return answer["status"] != "success" || !hasData || !answer["data"].toObject()["result"].toArray().isEmpty();
    }, kDataMs);
    const QByteArray shown = QJsonDocument(answer).toJson(QJsonDocument::Compact);
    QVERIFY2(answer["status"] == "success", shown.constData());
    QVERIFY2(done, QByteArray("no data: " + shown).constData());
}

// Each variable's label_values(SELECTOR, LABEL) as Grafana asks it: the line, then the
// devices on it that answered or were tried.
void TestDashboard::variables()
{
    QStringList found;
    for (const QJsonValue v : dashboard["templating"].toObject()["list"].toArray()) {
        const QString query = v.toObject()["query"].toString();
        const QRegularExpressionMatch m = QRegularExpression(R"(^label_values\((.+),\s*(\w+)\)$)").match(query);
        QVERIFY2(m.hasMatch(), qPrintable(query));
        const QString selector = substituted(m.captured(1), "L", ".*");
        QJsonArray values;
        QVERIFY(QTest::qWaitFor([&] {
            values = api("/api/v1/label/" + m.captured(2) + "/values", QUrlQuery {{"match[]", selector}})["data"].toArray();
            return values.size() >= (m.captured(2) == "address" ? 3 : 1);
        }, kDataMs));
        for (const QJsonValue value : values)
            found << value.toString();
    }
    QCOMPARE(found, QStringList({"L", "1", "2", "3"}));
}

// The rules of docs/gateway-alerts.yml loaded beside the scrape, each evaluated without
// error; the absent device's link is down, so its alert is under way.
void TestDashboard::alertRules()
{
    QJsonArray rules;
    QVERIFY(QTest::qWaitFor([&] {
        rules = QJsonArray();
        for (const QJsonValue g : api("/api/v1/rules", {})["data"].toObject()["groups"].toArray())
            for (const QJsonValue r : g.toObject()["rules"].toArray())
                if (r.toObject()["lastEvaluation"].toString() > "2000") // one not yet evaluated: year 1
                    rules << r;
        return rules.size() == 6;
    }, kDataMs));
    for (const QJsonValue r : rules)
        QVERIFY2(r.toObject()["health"] == "ok", QJsonDocument(r.toObject()).toJson().constData());
    QStringList pending;
    QVERIFY2(QTest::qWaitFor([&] {
        pending.clear();
        for (const QJsonValue a : api("/api/v1/alerts", {})["data"].toObject()["alerts"].toArray())
            pending << a.toObject()["labels"].toObject()["alertname"].toString() + ' '
                           + a.toObject()["labels"].toObject()["address"].toString();
        return pending.contains("OrbixDeviceLinkDown 3");
    }, kDataMs), qPrintable(pending.join(", ")));
    QVERIFY2(!pending.contains("OrbixDeviceLinkDown 1"), qPrintable(pending.join(", ")));
}

QTEST_GUILESS_MAIN(TestDashboard)
#include "tst_dashboard.moc"
