#pragma once

#include <QCommandLineParser>
#include <QStringList>

// Parsing shared by the commands: --help prints and exits 0, bad options exit 2 (usage).
// A usage error is short: the reason, the usage line and where the help is, so that the
// reason is not lost above a page of options.
class CommandLine
{
public:
    // The command as a user types it ("orbix read"), named on each usage line.
    static void setCommand(const QString &command);
    // The parser's help text with its usage line naming the command.
    static QString helpText(const QCommandLineParser &parser);
    // True when the command should go on; otherwise exitCode is what main returns.
    static bool parse(QCommandLineParser &parser, const QStringList &arguments, int &exitCode);
    // Prints "orbix: reason", the usage line and "Try 'orbix COMMAND --help'." on stderr;
    // returns the usage status.
    static int usage(const QCommandLineParser &parser, const QString &reason);
    // The same for a command given without its command line parser (main's own).
    static int usage(const QString &usageLine, const QString &reason);
    // Prints "orbix: reason" on stderr; returns the failure status.
    static int failed(const QString &reason);
};
