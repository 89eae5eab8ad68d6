#include "app/democonsole.h"
#include "app/demoline.h"
#include "app/launchoptions.h"
#include "app/mainwindow.h"
#include "app/widgetprobe.h"
#include "i18n/translation.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"
#include "version/buildversion.h"

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
    Translation::Language language = Translation::Russian;
    if (options.languageGiven && !Translation::fromCode(options.language, language)) {
        std::fprintf(stderr, "orbix-service: --lang takes ru or en, not %s\n", qPrintable(options.language));
        return 2;
    }
    QApplication app(argc, argv);
    // Relative paths of the program (../data) are taken from its own directory.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    QCoreApplication::setApplicationName(MainWindow::applicationName());
    DataDirectory::setOverride(options.dataDir);
    // Before any widget: each takes its texts when it is made.
    AppSettings &settings = AppSettings::instance();
    settings.loadLanguage(DataDirectory::filePath(QLatin1String(AppSettings::kLanguageFileName)));
    // The language of messages the user asked for (LANGUAGE, LC_MESSAGES), not that of numbers.
    const QString systemLanguage = QLocale::system().uiLanguages().value(0, QLocale::system().name());
    language = Translation::choose(options.language, settings.language, systemLanguage);
    if (!Translation::install(language)) {
        std::fprintf(stderr, "orbix-service: the English translation is missing; the window stays in Russian\n");
        language = Translation::Russian;
    }
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
    window->setLocale(Translation::locale(language));
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}
