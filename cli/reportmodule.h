#pragma once

#include <QString>

// `orbix report` and `orbix audit` paint the window's PDF report, which needs Qt's GUI
// libraries and Qwt. They live in a module of their own (orbix-report.so, see
// ProgramLayout), loaded only for them, so that every other command starts, and a box
// without a display runs it, without any of those libraries. The module makes its own
// (GUI) application: it is run before any other application object exists.
class ReportModule
{
public:
    // The module's entry, as cli/reportmain.cpp defines it: argc and argv of orbix;
    // returns the command's exit status.
    using Entry = int (*)(int argc, char **argv);
    static constexpr const char *kEntry = "orbixReportMain";

    static bool provides(const QString &command);
    // Loads the module and runs orbix's command line in it; the failure status, with the
    // reason, when the module cannot be loaded.
    static int run(int argc, char **argv);
};
