#pragma once

#include <QCommandLineParser>
#include <QStringList>

// Parsing shared by the commands: --help prints and exits 0, bad options exit 2 (usage).
class CommandLine
{
public:
    // The command as a user types it ("orbix read"), named on each usage line.
    static void setCommand(const QString &command);
    // The parser's help text with its usage line naming the command.
    static QString helpText(const QCommandLineParser &parser);
    // True when the command should go on; otherwise exitCode is what main returns.
    static bool parse(QCommandLineParser &parser, const QStringList &arguments, int &exitCode);
    // Prints "orbix: reason" and the help text on stderr; returns the usage status.
    static int usage(const QCommandLineParser &parser, const QString &reason);
    // Prints "orbix: reason" on stderr; returns the failure status.
    static int failed(const QString &reason);
};
