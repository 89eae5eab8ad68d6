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
#include "storage/filetext.h"
#include "version/buildversion.h"
#ifdef ORBIX_WITH_GATEWAY
#include "cli/gatewaycommand.h"
#endif
#ifdef ORBIX_WITH_REPORT
#include "cli/auditcommand.h"
#include "cli/reportcommand.h"
#endif

#include <QTextStream>

#include <cstdio>
#include <functional>
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
    "  gateway --config FILE      every device of many lines to MQTT and Prometheus\n"
#endif
#ifdef ORBIX_WITH_REPORT
    "  report PORT OUT.pdf        the program's PDF report of a device\n"
    "  audit PORT --out DIR       reports, settings files and an index for every device of a line\n"
#endif
    "\n"
    "PORT is COMn, a device path or a network line (modbus-tcp://, tcp://, rfc2217://).\n"
    "'orbix COMMAND --help' describes a command; 'orbix --version' prints the version.\n"
    "Exit status: 0 done, 1 failed (reason on stderr), 2 bad usage; config diff: 3 differences.\n";

using Command = std::function<int(const QStringList &)>;

int dispatch(const QStringList &arguments)
{
    FileText::useEnglish(true); // the settings files' failures, Russian in the window
    static const std::map<QString, Command> commands = {
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
        {QStringLiteral("gateway"), GatewayCommand::run},
#endif
#ifdef ORBIX_WITH_REPORT
        {QStringLiteral("report"), ReportCommand::run},
        {QStringLiteral("audit"), AuditCommand::run},
#endif
    };
    QStringList args = arguments;
    const QString name = args.size() > 1 ? args[1] : QString();
    if (name == QLatin1String("--version")) {
        QTextStream(stdout) << BuildVersion::line(QStringLiteral("orbix")) << '\n';
        return CliExit::Ok;
    }
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        QTextStream(stdout) << kUsage;
        return CliExit::Ok;
    }
    const auto it = commands.find(name);
    if (it == commands.end())
        return CommandLine::usage(QString::fromLatin1(kUsage).section(QLatin1Char('\n'), 0, 0),
                                  name.isEmpty() ? QString() : QStringLiteral("unknown command '%1'").arg(name));
    args.removeAt(1); // the parser sees "orbix --options..." for the chosen command
    CommandLine::setCommand(QStringLiteral("orbix ") + name);
    return it->second(args);
}

} // namespace

int OrbixCommand::run(const QStringList &arguments)
{
    const int status = dispatch(arguments);
    // Output cut short (a full disk under a redirection) is a failure, as for any
    // Unix tool: a script must not take a truncated file for the whole.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return CommandLine::failed(QStringLiteral("cannot write the standard output"));
    return status;
}
