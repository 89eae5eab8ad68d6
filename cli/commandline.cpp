#include "cli/commandline.h"

#include "cli/cliexit.h"
#include "storage/filetext.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

QString &command()
{
    static QString name = QStringLiteral("orbix");
    return name;
}

QString program()
{
    return command().section(QLatin1Char(' '), 0, 0);
}

} // namespace

int CommandLine::run(const QString &name, Command command, const QStringList &arguments)
{
    setCommand(name);
    FileText::useEnglish(true); // the settings files' failures, Russian in the window
    return finish(command(arguments));
}

void CommandLine::setCommand(const QString &name)
{
    command() = name;
}

QString CommandLine::helpText(const QCommandLineParser &parser)
{
    // The parser starts its usage line with the executable as it was started (often a
    // full path) and knows nothing of the command chosen before it.
    QString text = parser.helpText();
    const QString started = QCoreApplication::arguments().value(0);
    const int at = started.isEmpty() ? -1 : text.indexOf(started);
    if (at >= 0 && at < text.indexOf(QLatin1Char('\n')))
        text.replace(at, started.size(), command());
    return text;
}

bool CommandLine::parse(QCommandLineParser &parser, const QStringList &arguments, int &exitCode)
{
    if (!parser.parse(arguments)) {
        exitCode = usage(parser, parser.errorText());
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << helpText(parser);
        exitCode = CliExit::Ok;
        return false;
    }
    return true;
}

int CommandLine::usage(const QCommandLineParser &parser, const QString &reason)
{
    return usage(helpText(parser).section(QLatin1Char('\n'), 0, 0), reason);
}

int CommandLine::usage(const QString &usageLine, const QString &reason)
{
    QTextStream err(stderr);
    if (!reason.isEmpty())
        err << program() << ": " << reason << '\n';
    err << usageLine << '\n' << "Try '" << command() << " --help'.\n";
    return CliExit::Usage;
}

int CommandLine::failed(const QString &reason)
{
    QTextStream(stderr) << program() << ": " << reason << '\n';
    return CliExit::Failure;
}

int CommandLine::finish(int status)
{
    // Output cut short (a full disk under a redirection) is a failure, as for any
    // Unix tool: a script must not take a truncated file for the whole.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return failed(QStringLiteral("cannot write the standard output"));
    return status;
}
