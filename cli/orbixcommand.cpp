#include "cli/orbixcommand.h"

#include "cli/characteristiccommand.h"
#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/configcommand.h"
#include "cli/historycommand.h"
#include "cli/monitorcommand.h"
#include "cli/oscillogramcommand.h"
#include "cli/portscommand.h"
#include "cli/registercommand.h"
#include "cli/scancommand.h"
#include "version/buildversion.h"
#ifdef ORBIX_WITH_GATEWAY
#include "cli/gatewayalias.h"
#endif

#include <QTextStream>

#include <map>

namespace {

const char kUsage[] =
    "Usage: orbix COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  ports                      list serial ports and their COM numbers\n"
    "  read PORT REGISTER [COUNT]  read holding registers (function 3)\n"
    "  write PORT REGISTER VALUE...  write registers (function 16, or 6 with --single)\n"
    "  scan PORT                  find the devices on a line\n"
    "  monitor PORT               connect to a device and print its events\n"
    "  oscillogram PORT           read the crash oscillogram; COMTRADE and CSV files\n"
    "  characteristic --rated-current RAW ...  protection time-current characteristic\n"
    "  config get|set|diff PORT [FILE]  the device's settings, a settings file written, differences\n"
    "  history devices|export|events|oscillograms  what the history database holds\n"
#ifdef ORBIX_WITH_GATEWAY
    "  gateway --config FILE      orbix-gateway: every device of many lines to MQTT and Prometheus\n"
#endif
#ifdef ORBIX_WITH_REPORT
    "  report PORT OUT.pdf        the program's PDF report of a device\n"
    "  audit PORT --out DIR       reports, settings files and an index for every device of a line\n"
#endif
    "\n"
    "PORT is COMn, a device path or a network line (modbus-tcp://, tcp://, rfc2217://).\n"
    "'orbix COMMAND --help' describes a command; 'orbix --version' prints the version.\n"
    "Exit status: 0 done, 1 failed (reason on stderr), 2 bad usage; config diff: 3 differences.\n";

} // namespace

int OrbixCommand::run(const QStringList &arguments)
{
    // report and audit are main()'s: they run in the report module (cli/reportmodule.h).
    static const std::map<QString, CommandLine::Command> commands = {
        {QStringLiteral("ports"), PortsCommand::run},
        {QStringLiteral("read"), RegisterCommand::runRead},
        {QStringLiteral("write"), RegisterCommand::runWrite},
        {QStringLiteral("scan"), ScanCommand::run},
        {QStringLiteral("monitor"), MonitorCommand::run},
        {QStringLiteral("oscillogram"), OscillogramCommand::run},
        {QStringLiteral("characteristic"), CharacteristicCommand::run},
        {QStringLiteral("config"), ConfigCommand::run},
        {QStringLiteral("history"), HistoryCommand::run},
#ifdef ORBIX_WITH_GATEWAY
        {QStringLiteral("gateway"), GatewayAlias::run},
#endif
    };
    const QString name = arguments.value(1);
    if (name == QLatin1String("--version")) {
        QTextStream(stdout) << BuildVersion::line(QStringLiteral("orbix")) << '\n';
        return CommandLine::finish(CliExit::Ok);
    }
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        QTextStream(stdout) << kUsage;
        return CommandLine::finish(CliExit::Ok);
    }
    const QString usageLine = QString::fromLatin1(kUsage).section(QLatin1Char('\n'), 0, 0);
#if !defined(ORBIX_WITH_GATEWAY) && defined(Q_OS_WIN)
    // The gateway is a plant box's service, built for Linux only: said so, rather than
    // "unknown command", to whoever follows the Linux manual on Windows.
    if (name == QLatin1String("gateway"))
        return CommandLine::usage(usageLine, QStringLiteral("the plant gateway (orbix gateway, orbix-gateway) runs on Linux only"));
#endif
    const auto it = commands.find(name);
    if (it == commands.end())
        return CommandLine::usage(usageLine, name.isEmpty() ? QString() : QStringLiteral("unknown command '%1'").arg(name));
    QStringList args = arguments;
    args.removeAt(1); // the parser sees "orbix --options..." for the chosen command
    return CommandLine::run(QStringLiteral("orbix ") + name, it->second, args);
}
