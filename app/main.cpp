#include "datadirectory.h"
#include "democonsole.h"
#include "demoline.h"
#include "launchoptions.h"
#include "mainwindow.h"
#include "widgetprobe.h"

#include <QApplication>
#include <QDir>
#include <QLocale>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const LaunchOptions options = LaunchOptions::parse(app.arguments());
    // Relative paths of the program (../data) are taken from its own directory.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    QCoreApplication::setApplicationName(MainWindow::applicationName());
    DataDirectory::setOverride(options.dataDir);
    DemoLine demo; // outlives the window, which closes its connection first
    if (options.demo && !demo.start()) {
        std::fprintf(stderr, "orbix-service: demo line: %s\n", qPrintable(demo.errorString()));
        return 1;
    }
    std::unique_ptr<DemoConsole> console; // ends before the line it commands
    if (options.demo && DemoConsole::inputUsable())
        console = std::make_unique<DemoConsole>(demo.line());
    WidgetProbe probe;
    if (!options.probeSocket.isEmpty() && !probe.listen(options.probeSocket)) {
        std::fprintf(stderr, "orbix-service: probe socket: %s\n", qPrintable(probe.errorString()));
        return 1;
    }
    auto *window = new MainWindow;
    if (options.demo)
        window->showDemoLine(demo.portNumber(), DemoLine::kProbeTimeoutMs);
    window->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}
