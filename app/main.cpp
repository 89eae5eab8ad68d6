#include "buildversion.h"
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const LaunchOptions options = LaunchOptions::parse(arguments);
    // Before the toolkit starts: these two need no display (manual pages are made
    // from them at build time).
    if (options.help || options.version) {
        const QString text = options.help ? LaunchOptions::usage()
                                          : BuildVersion::line(QStringLiteral("orbix-service")) + QLatin1Char('\n');
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
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
