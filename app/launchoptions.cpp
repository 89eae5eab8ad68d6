#include "app/launchoptions.h"

#include <QCommandLineParser>
#include <QDir>

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    // The toolkit's own options are single-dash words (-platform, -stylesheet): read as
    // letters, they would hold an -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption demo(QStringLiteral("demo"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption language(QStringLiteral("lang"), QString(), QStringLiteral("LANG"));
    const QCommandLineOption help(QStringList {QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    QCommandLineOption probeSocket(QStringLiteral("probe-socket"), QString(), QStringLiteral("PATH"));
    probeSocket.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(demo);
    parser.addOption(dataDir);
    parser.addOption(language);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(probeSocket);
    parser.parse(arguments); // unknown options belong to the toolkit
    LaunchOptions options;
    options.demo = parser.isSet(demo);
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (parser.isSet(dataDir))
        options.dataDir = QDir(parser.value(dataDir)).absolutePath();
    options.languageGiven = parser.isSet(language);
    options.language = parser.value(language);
    if (parser.isSet(probeSocket)) {
        const QString where = parser.value(probeSocket);
        options.probeSocket = where.startsWith(QLatin1String("tcp:")) ? where : QDir(where).absolutePath();
    }
    return options;
}

QString LaunchOptions::usage()
{
    return QStringLiteral(
        "Usage: orbix-service [options]\n"
        "The service tool for ORBIX-11 motor protection devices on an RS-485 line (the\n"
        "Modbus RTU master of the line): finds the devices, shows the motor live, reads the\n"
        "work and crash logs and the crash oscillogram, writes the device's settings and\n"
        "sends motor commands. The window is in Russian or English (the system's language,\n"
        "or the one chosen in its settings).\n"
        "\n"
        "Options:\n"
        "  --demo          start on a simulated line of three devices, bound to a COM\n"
        "                  number and selected in the search tab\n"
        "  --data-dir DIR  keep the program's files in DIR (wins over ORBIX_DATA_DIR)\n"
        "  --lang LANG     the window's language for this run: ru or en\n"
        "  -h, --help      this text\n"
        "  --version       the version\n"
        "\n"
        "The toolkit's own options (-platform NAME, -style NAME, ...) are taken too.\n");
}
