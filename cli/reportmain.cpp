// The report module's entry (orbix-report.so, see cli/reportmodule.h): `orbix report`
// and `orbix audit` with a GUI application, on Qt's offscreen platform where no display
// is set.
#include "cli/auditcommand.h"
#include "cli/commandline.h"
#include "cli/reportcommand.h"
#include "cli/reportmodule.h"
#include "report/guiapplication.h"

#include <QCoreApplication>

#include <memory>
#include <type_traits>

extern "C" Q_DECL_EXPORT int orbixReportMain(int argc, char **argv)
{
    static_assert(std::is_same_v<decltype(&orbixReportMain), ReportModule::Entry>, "the entry orbix resolves");
    int count = argc; // the application keeps a reference to it
    const std::unique_ptr<QCoreApplication> app = GuiApplication::create(count, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbix"));
    QStringList arguments = QCoreApplication::arguments();
    const QString name = arguments.value(1);
    arguments.removeAt(1); // the parser sees "orbix --options..." for the chosen command
    // One of ReportModule::provides(): orbix loads the module for nothing else.
    return CommandLine::run(QStringLiteral("orbix ") + name,
                            name == QLatin1String("report") ? ReportCommand::run : AuditCommand::run, arguments);
}
