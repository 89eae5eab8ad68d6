#include "cli/portscommand.h"

#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "link/serialdriverinfo.h"
#include "storage/portmap.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace {

QString bindingText(PortMap::Binding binding)
{
    switch (binding) {
    case PortMap::Binding::Environment: return QStringLiteral("bound by ") + QLatin1String(PortMap::kEnvironmentVariable);
    case PortMap::Binding::File: return QStringLiteral("bound in ") + QLatin1String(PortMap::kBindingFile);
    case PortMap::Binding::Session: return QStringLiteral("bound for this session");
    case PortMap::Binding::System: break;
    }
    return QString();
}

QString driverText(const SerialDriverInfo &info)
{
    const QString latency = info.latencyTimerMs < 0 ? QStringLiteral("-") : QString::number(info.latencyTimerMs) + QStringLiteral(" ms");
    const QString rs485 = info.rs485 < 0 ? QStringLiteral("unknown") : info.rs485 ? QStringLiteral("yes") : QStringLiteral("no");
    return QStringLiteral("driver %1, latency timer %2, rs485 mode %3")
        .arg(info.driver.isEmpty() ? QStringLiteral("-") : info.driver, latency, rs485);
}

} // namespace

int PortsCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
#ifdef Q_OS_WIN
    parser.setApplicationDescription(QStringLiteral(
        "Lists serial ports, one per line: COM name, device path, adapter description.\n"
        "COMn is the system's port COMn (\\\\.\\COMn); ports.conf of the data directory or\n"
        "ORBIX_PORTS=\"COM50=modbus-tcp://HOST;...\" binds any number."));
#else
    parser.setApplicationDescription(QStringLiteral(
        "Lists serial ports, one per line: COM name, device path, adapter description.\n"
        "COM1-COM32 are ttyS0-31, COM33-COM40 ttyAMA0-7; adapters get COM41 and up, remembered\n"
        "in ports.conf of the data directory; ORBIX_PORTS=\"COM5=/path;...\" binds any number."));
#endif
    parser.addHelpOption();
    parser.addOption({QStringLiteral("verbose"),
                      QStringLiteral("Also the driver, the adapter's latency timer and whether the driver takes "
                                     "RS-485 mode (asked only of ports no program holds).")});
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const bool verbose = parser.isSet(QStringLiteral("verbose"));
    QTextStream out(stdout);
    for (const PortMap::Port &p : PortMap::system().ports()) {
        out << "COM" << p.number << '\t' << p.path << '\t' << p.systemName;
        const QString about = p.binding == PortMap::Binding::System ? p.description : bindingText(p.binding);
        if (!about.isEmpty())
            out << ", " << about;
        if (p.options.rs485)
            out << ", rs485 " << p.options.rs485DelayBeforeMs << '/' << p.options.rs485DelayAfterMs << " ms";
        if (verbose)
            out << '\t' << driverText(SerialDriverInfo::of(p.path));
        out << '\n';
    }
    return CliExit::Ok;
}
