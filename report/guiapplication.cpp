#include "report/guiapplication.h"

#include <QApplication>

namespace {
void silent(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

// The platform's notes while it starts (on a headless box: the runtime directory it
// made up) are not the program's to print: a failure is one line on stderr.
std::unique_ptr<QCoreApplication> GuiApplication::create(int &argc, char **argv)
{
    const bool display = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!display && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QtMessageHandler previous = qInstallMessageHandler(silent);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    return app;
}
