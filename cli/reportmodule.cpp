#include "cli/reportmodule.h"

#include "cli/commandline.h"
#include "cli/programlayout.h"

#include <QLibrary>

bool ReportModule::provides(const QString &command)
{
    return command == QLatin1String("report") || command == QLatin1String("audit");
}

int ReportModule::run(int argc, char **argv)
{
    // Never unloaded: its Qt keeps threads and plugins until the process ends.
    QLibrary module(ProgramLayout::locate(ProgramLayout::ReportModule));
    const auto entry = reinterpret_cast<Entry>(module.resolve(kEntry));
    if (!entry)
        return CommandLine::failed(QStringLiteral("report and audit need the report module: %1").arg(module.errorString()));
    return entry(argc, argv);
}
