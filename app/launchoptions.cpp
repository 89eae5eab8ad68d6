#include "launchoptions.h"

#include <QCommandLineParser>
#include <QDir>

LaunchOptions LaunchOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption demo(QStringLiteral("demo"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QString(), QStringLiteral("DIR"));
    parser.addOption(demo);
    parser.addOption(dataDir);
    parser.parse(arguments); // unknown options belong to the toolkit
    LaunchOptions options;
    options.demo = parser.isSet(demo);
    if (parser.isSet(dataDir))
        options.dataDir = QDir(parser.value(dataDir)).absolutePath();
    return options;
}
