#include "cli/orbixcommand.h"
#include "cli/terminal.h"
#ifdef ORBIX_WITH_REPORT
#include "cli/reportmodule.h"
#endif

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    Terminal::useUtf8(); // the report module's streams too: it shares Qt with orbix
#ifdef ORBIX_WITH_REPORT
    // Only the commands that paint load the GUI libraries, in a module of their own.
    if (argc > 1 && ReportModule::provides(QString::fromLocal8Bit(argv[1])))
        return ReportModule::run(argc, argv);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbix"));
    return OrbixCommand::run(QCoreApplication::arguments());
}
