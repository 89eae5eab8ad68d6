#include "cli/orbixcommand.h"
#ifdef ORBIX_WITH_REPORT
#include "report/guiapplication.h"
#endif

#include <QCoreApplication>

#include <memory>

namespace {

// Only the commands that paint pay for a GUI application.
std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv)
{
#ifdef ORBIX_WITH_REPORT
    if (argc > 1 && GuiApplication::neededFor(QString::fromLocal8Bit(argv[1])))
        return GuiApplication::create(argc, argv);
#endif
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = createApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbix"));
    return OrbixCommand::run(QCoreApplication::arguments());
}
