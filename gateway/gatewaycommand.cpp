#include "gateway/gatewaycommand.h"

#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/stopsignal.h"
#include "gateway/gatewayconfig.h"
#include "gateway/gatewaylog.h"
#include "gateway/gatewayrunner.h"
#include "history/historyrecorder.h"
#include "version/buildversion.h"

#include <QEventLoop>
#include <QTextStream>

#include <memory>

namespace {

const char kGatewayDescription[] =
    "Polls every device of the lines in the configuration (JSON, see docs/gateway.md) and\n"
    "publishes them to the plant's MQTT broker (PREFIX/NAME/LINE/ADDRESS/state, event and\n"
    "oscillogram; PREFIX/NAME/status online or offline) and as Prometheus metrics at\n"
    "http://LISTEN/metrics. Runs until SIGTERM or SIGINT; logs to stderr, one line an event.\n"
    "A Linux service (systemd): there is no Windows build of the gateway.";

// What the start reads besides the configuration, judged as the start judges it: a
// failure there is one of the start (exit 1), not a configuration refused.
int checkFiles(const GatewayConfig &config)
{
    if (!config.mqtt || config.mqtt->passwordFile.isEmpty())
        return CliExit::Ok;
    QString password, error, warning;
    if (!GatewayConfig::readPassword(config.mqtt->passwordFile, password, error, warning))
        return CommandLine::failed(error);
    if (!warning.isEmpty())
        GatewayLog::write(GatewayLog::Warning, warning);
    return CliExit::Ok;
}

void addGatewayOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString::fromLatin1(kGatewayDescription));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("version"), QStringLiteral("Print the version and exit.")});
    parser.addOption({QStringLiteral("config"), QStringLiteral("The gateway's configuration file."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("check"), QStringLiteral("Check the configuration and exit.")});
}

// The history store of the configuration, started; none without one, or when it
// cannot be opened (the gateway polls and publishes all the same).
std::unique_ptr<HistoryRecorder> openHistory(const GatewayConfig &config)
{
    if (!config.historyDb)
        return nullptr;
    auto history = std::make_unique<HistoryRecorder>(*config.historyDb);
    static_assert(int(HistoryRecorder::LogWarning) == int(GatewayLog::Warning)
                      && int(HistoryRecorder::LogNotice) == int(GatewayLog::Notice),
                  "both are syslog priorities");
    history->setLog(&GatewayLog::write); // its failures and resumptions under their journal priorities
    if (!history->start()) {
        GatewayLog::write(GatewayLog::Warning, QStringLiteral("history: %1; running without history").arg(history->error()));
        return nullptr;
    }
    if (history->error().isEmpty()) // else locked: it said so and opens the file later
        GatewayLog::write(GatewayLog::Info, QStringLiteral("history: recording into ") + *config.historyDb);
    return history;
}

// Runs the gateway until SIGTERM or SIGINT.
int serve(const GatewayConfig &config)
{
    // Made first, so that it outlives the pollers that feed it and writes their last batch.
    const std::unique_ptr<HistoryRecorder> history = openHistory(config);
    GatewayRunner gateway(config);
    if (history) {
        gateway.addSink(history.get());
        gateway.setHistoryLost([&history] { return history->lostSamples(); });
    }
    QString error;
    if (!gateway.start(error)) {
        GatewayLog::write(GatewayLog::Error, error);
        return CliExit::Failure;
    }
    QEventLoop loop;
    StopSignal stop([&loop] { loop.quit(); });
    loop.exec();
    GatewayLog::write(GatewayLog::Info, QStringLiteral("stopping"));
    gateway.stop();
    return CliExit::Ok;
}

} // namespace

int GatewayCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    addGatewayOptions(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    if (parser.isSet(QStringLiteral("version"))) {
        QTextStream(stdout) << BuildVersion::line(QStringLiteral("orbix-gateway")) << '\n';
        return CliExit::Ok;
    }
    if (!parser.isSet(QStringLiteral("config")) || !parser.positionalArguments().isEmpty())
        return CommandLine::usage(parser, QStringLiteral("the gateway needs --config FILE and nothing else"));
    const QString path = parser.value(QStringLiteral("config"));
    QString error;
    const GatewayConfig config = GatewayConfig::load(path, error);
    if (!error.isEmpty())
        return CommandLine::usage(parser, QStringLiteral("%1: %2").arg(path, error));
    if (parser.isSet(QStringLiteral("check")))
        return checkFiles(config);
    return serve(config);
}
