#include "monitorcommand.h"

#include "cliexit.h"
#include "commandline.h"
#include "currentscale.h"
#include "dataeventerror.h"
#include "datathread.h"
#include "deviceinfo.h"
#include "deviceprobe.h"
#include "eventprinter.h"
#include "linkoptions.h"
#include "linkstatisticsevent.h"
#include "stopsignal.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QTextStream>

namespace {

const char *const kConnectionErrors[] = {
    "identification registers could not be read",
    "port cannot be opened",
    "link lost",
    "the device does not match its identification (modification or rated range differ)",
};

void printStatistics(QTextStream &out, const LinkStatistics &s, bool json)
{
    if (json) {
        const QJsonObject o {{QStringLiteral("stats"), EventPrinter::statistics(s)}};
        out << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) << '\n';
        return;
    }
    out << QStringLiteral("statistics: %1 requests, %2 replies, %3 time-outs, %4 CRC errors, %5 exceptions, "
                          "%6 from another address, %7 line errors, %8 bytes dropped, %9 echoes skipped, "
                          "response %10 ms mean, %11 ms max")
               .arg(s.requests).arg(s.replies).arg(s.timeouts).arg(s.crcErrors).arg(s.exceptions)
               .arg(s.wrongAddress).arg(s.lineErrors).arg(s.discardedBytes).arg(s.echoesSkipped)
               .arg(s.meanResponseMs(), 0, 'f', 1).arg(s.maxResponseUs / 1000.0, 0, 'f', 1)
        << '\n';
}

} // namespace

int MonitorCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Connects to a device as the program does and prints every event of the connection,\n"
        "one line each (a JSON object with --json: \"type\" is the event code)."));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    parser.addOption({QStringLiteral("cycles"), QStringLiteral("Stop after N monitoring events (0: run until Ctrl-C)."),
                      QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("access-code"), QStringLiteral("Access code for guarded writes."),
                      QStringLiteral("CODE"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("One JSON object per event.")});
    LinkOptions::addPortArgument(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    if (parser.positionalArguments().size() != 1)
        return CommandLine::usage(parser, QStringLiteral("monitor needs PORT"));
    LinkOptions link;
    if (!link.read(parser, parser.positionalArguments()[0]))
        return CommandLine::usage(parser, link.error);
    bool ok = false;
    const int cycles = parser.value(QStringLiteral("cycles")).toInt(&ok);
    if (!ok || cycles < 0)
        return CommandLine::usage(parser, QStringLiteral("bad --cycles"));
    if (!link.checkPort())
        return CommandLine::failed(link.error);

    DeviceInfo device;
    QString reason;
    if (!DeviceProbe::identify(link, device, reason))
        return CommandLine::failed(reason);

    const bool json = parser.isSet(QStringLiteral("json"));
    const CurrentScale scale(device.currentScale);
    QTextStream out(stdout);
    DataThread thread(device, link.devicePath);
    thread.setLineOptions(link.options);
    thread.setTiming(link.timing());
    thread.setAccessCode(qint16(parser.value(QStringLiteral("access-code")).toInt()));
    int seen = 0;
    int exitCode = CliExit::Ok;
    QEventLoop loop;
    std::shared_ptr<const LinkStatisticsEvent> stats;
    QObject::connect(&thread, &DataThread::dataEvent, &loop, [&](const DataEventPtr &event) {
        const DataEvent *e = event.get();
        if (e->type() == DataEvent::LinkStatistics) { // printed once, at the end
            stats = std::static_pointer_cast<const LinkStatisticsEvent>(event);
            return;
        }
        out << (json ? QString::fromUtf8(QJsonDocument(EventPrinter::json(*e, scale)).toJson(QJsonDocument::Compact))
                     : EventPrinter::text(*e, scale))
            << '\n' << Qt::flush;
        if (e->type() == DataEvent::Error) {
            const int code = static_cast<const DataEventError *>(e)->error();
            if (code != DataEventError::LinkLost) {
                QTextStream(stderr) << "orbix: connection failed: " << kConnectionErrors[code] << '\n';
                exitCode = CliExit::Failure;
                loop.quit();
            }
        }
        if (e->type() == DataEvent::Get && cycles > 0 && ++seen >= cycles)
            loop.quit();
    });
    StopSignal stop([&loop] { loop.quit(); });
    thread.startExchange();
    loop.exec();
    if (thread.isRunning())
        thread.stopExchange(); // prints the disconnection (type 2) through the direct call
    if (stats)
        printStatistics(out, stats->statistics(), json);
    return exitCode;
}
