#include "commandline.h"

#include "cliexit.h"

#include <QTextStream>

bool CommandLine::parse(QCommandLineParser &parser, const QStringList &arguments, int &exitCode)
{
    if (!parser.parse(arguments)) {
        exitCode = usage(parser, parser.errorText());
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        exitCode = CliExit::Ok;
        return false;
    }
    return true;
}

int CommandLine::usage(const QCommandLineParser &parser, const QString &reason)
{
    QTextStream(stderr) << "orbix: " << reason << "\n\n" << parser.helpText();
    return CliExit::Usage;
}

int CommandLine::failed(const QString &reason)
{
    QTextStream(stderr) << "orbix: " << reason << '\n';
    return CliExit::Failure;
}
