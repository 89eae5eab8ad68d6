#pragma once

#include <QStringList>

// The orbix commands by name: what the program runs, and what tests call in the same
// process. arguments are the command line as the program gets it ("orbix", the command,
// its options); the result is the exit status (cli/cliexit.h). report and audit are
// not among them: they need a GUI application, made before any other, so main() runs
// them in the report module (cli/reportmodule.h).
class OrbixCommand
{
public:
    static int run(const QStringList &arguments);
};
