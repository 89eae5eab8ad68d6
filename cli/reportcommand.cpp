#include "cli/reportcommand.h"

#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/devicesnapshot.h"
#include "cli/linkoptions.h"
#include "cli/snapshotreport.h"
#include "device/deviceinfo.h"
#include "i18n/translation.h"

namespace {

void addReportOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Reads a device as the program does (identification, settings, logs, start record, the\n"
        "oscillogram when there is one, S seconds of live values) and writes the program's PDF\n"
        "report of it. Exit 0 when the file is complete; 1 with the reason, and no file, otherwise."));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("Seconds of live values (default 10)."),
                      QStringLiteral("S"), QString::number(ReportCommand::kDefaultSeconds)});
    parser.addOption({QStringLiteral("lang"), QStringLiteral("The report's language: ru (default) or en."),
                      QStringLiteral("LANG"), QStringLiteral("ru")});
    LinkOptions::addPortArgument(parser);
    parser.addPositionalArgument(QStringLiteral("OUT.pdf"), QStringLiteral("The PDF file to write."));
}

} // namespace

int ReportCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    addReportOptions(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 2)
        return CommandLine::usage(parser, QStringLiteral("report needs PORT and OUT"));
    LinkOptions link;
    if ((status = link.take(parser, pos[0])) >= 0)
        return status;
    bool ok = false;
    const int seconds = parser.value(QStringLiteral("seconds")).toInt(&ok);
    if (!ok || seconds < 1)
        return CommandLine::usage(parser, QStringLiteral("bad --seconds (1 or more)"));
    Translation::Language language = Translation::Russian;
    if (!Translation::fromCode(parser.value(QStringLiteral("lang")), language))
        return CommandLine::usage(parser, QStringLiteral("bad --lang (ru or en)"));
    if (!Translation::install(language))
        return CommandLine::failed(QStringLiteral("the English translation is missing"));
    DeviceInfo device;
    if ((status = link.ensurePort()) >= 0 || (status = link.identify(device)) >= 0)
        return status;
    QString reason;
    DeviceSnapshot snapshot;
    if (!snapshot.read(link, device, seconds, reason))
        return CommandLine::failed(reason);
    if (!SnapshotReport(snapshot).write(pos[1], reason))
        return CommandLine::failed(reason);
    return CliExit::Ok;
}
