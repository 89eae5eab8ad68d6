#include "launchoptions.h"

#include <QCommandLineParser>
#include <QDir>

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption demo(QStringLiteral("demo"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QString(), QStringLiteral("DIR"));
    QCommandLineOption probeSocket(QStringLiteral("probe-socket"), QString(), QStringLiteral("PATH"));
    probeSocket.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(demo);
    parser.addOption(dataDir);
    parser.addOption(probeSocket);
    parser.parse(arguments); // unknown options belong to the toolkit
    LaunchOptions options;
    options.demo = parser.isSet(demo);
    if (parser.isSet(dataDir))
        options.dataDir = QDir(parser.value(dataDir)).absolutePath();
    if (parser.isSet(probeSocket))
        options.probeSocket = QDir(parser.value(probeSocket)).absolutePath();
    return options;
}
