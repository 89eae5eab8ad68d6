#include "portscommand.h"

#include "cliexit.h"
#include "commandline.h"
#include "portmap.h"

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

} // namespace

int PortsCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists serial ports, one per line: COM name, device path, adapter description.\n"
        "COM1-COM32 are ttyS0-31, COM33-COM40 ttyAMA0-7; adapters get COM41 and up, remembered\n"
        "in ports.conf of the data directory; ORBIX_PORTS=\"COM5=/path;...\" binds any number."));
    parser.addHelpOption();
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    QTextStream out(stdout);
    for (const PortMap::Port &p : PortMap::system().ports()) {
        out << "COM" << p.number << '\t' << p.path << '\t' << p.systemName;
        const QString about = p.binding == PortMap::Binding::System ? p.description : bindingText(p.binding);
        if (!about.isEmpty())
            out << ", " << about;
        out << '\n';
    }
    return CliExit::Ok;
}
