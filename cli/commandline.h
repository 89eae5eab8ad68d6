#pragma once

#include <QCommandLineParser>
#include <QStringList>

// Parsing shared by the commands of orbix and orbix-gateway: --help prints and exits 0,
// bad options exit 2 (usage). A usage error is short: the reason, the usage line and
// where the help is, so that the reason is not lost above a page of options.
class CommandLine
{
public:
    // A command: its command line as its parser sees it (the program, then the options);
    // the result is the exit status (cli/cliexit.h).
    using Command = int (*)(const QStringList &arguments);
    // Runs command as every command of our programs runs: named as name on its usage
    // lines, the files' failures in English, the standard output checked (finish).
    static int run(const QString &name, Command command, const QStringList &arguments);
    // The command as a user types it ("orbix read", "orbix-gateway"), named on each
    // usage line; its first word starts every message ("orbix: ").
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
    // What a program returns once its command is done: status, or the failure status
    // with the reason when the standard output could not be written whole.
    static int finish(int status);
};
