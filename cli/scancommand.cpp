#include "cli/scancommand.h"

#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/linescan.h"
#include "cli/linkoptions.h"
#include "cli/stopsignal.h"
#include "cli/terminal.h"
#include "device/deviceinfo.h"
#include "exchange/eventdispatch.h"
#include "exchange/searchthread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QJsonObject deviceJson(const DeviceInfo &d, const QString &path)
{
    return {{QStringLiteral("kind"), d.kind},
            {QStringLiteral("address"), d.address},
            {QStringLiteral("baudRate"), d.baudRate},
            {QStringLiteral("frameFormat"), d.frameFormat},
            {QStringLiteral("portNumber"), d.portNumber},
            {QStringLiteral("modification"), d.modification},
            {QStringLiteral("currentScale"), d.currentScale},
            {QStringLiteral("minRatedCurrent"), double(d.minRatedCurrent)},
            {QStringLiteral("maxRatedCurrent"), double(d.maxRatedCurrent)},
            {QStringLiteral("port"), path}};
}

class ScanPrinter
{
public:
    ScanPrinter(const SearchThread &t, bool asJson, const QString &p) : thread(t), json(asJson), path(p) {}

    // True when the search is over.
    bool handle(const SearchEvent &event)
    {
        return EventDispatch::visit(event, EventHandlers {
            [this](const SearchEventFound &e) {
                const DeviceInfo &d = e.device();
                if (interactive)
                    err << "\r\033[K" << Qt::flush; // the device's line, not the progress, stays on screen
                out << (json ? QString::fromUtf8(QJsonDocument(deviceJson(d, path)).toJson(QJsonDocument::Compact))
                             : d.displayText())
                    << '\n';
                out.flush();
                ++found;
                return false;
            },
            [this](const SearchEvent &e) {
                switch (e.type()) {
                case SearchEvent::Progress:
                    progress();
                    return false;
                case SearchEvent::Error:
                    failed = true;
                    return true;
                case SearchEvent::Started:
                    if (thread.formatsPerAddress() == 1)
                        err << "network line: the server keeps its own frame format; each address is probed once\n"
                            << Qt::flush;
                    return false;
                default:
                    return true;
                }
            }});
    }

    // On a terminal only, one line rewritten in place: a script or a log file gets the
    // devices and the result, not hundreds of progress lines.
    void progress()
    {
        if (!interactive)
            return;
        err << "\rscanning: " << thread.probeCount() << '/' << thread.scanProbes() << " probes, " << found << " found"
            << Qt::flush;
    }

    void finish()
    {
        if (interactive)
            err << '\n';
        err << "scan " << (failed ? "failed" : "done") << ": " << found << " device(s) found\n";
    }

    int found = 0;
    bool failed = false;

private:
    const SearchThread &thread;
    bool json;
    QString path;
    bool interactive = Terminal::isTerminal(Terminal::Stream::Error);
    QTextStream out {stdout};
    QTextStream err {stderr};
};

} // namespace

int ScanCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Scans a port for devices: every address under 8E1, 8O1 and 8N15, as the program's search does.\n"
        "Prints one line per device found (or a JSON object with --json) and the result on stderr;\n"
        "when stderr is a terminal, the progress too."));
    parser.addHelpOption();
    LineScan::addOptionsTo(parser);
    LinkOptions::addLineTimingTo(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("One JSON object per device.")});
    LinkOptions::addPortArgument(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    if (parser.positionalArguments().size() != 1)
        return CommandLine::usage(parser, QStringLiteral("scan needs PORT"));
    int first = 1, last = SearchThread::kLastAddress;
    if (!LineScan::parseRange(parser.value(QStringLiteral("addresses")), first, last))
        return CommandLine::usage(parser, QStringLiteral("bad address range (FROM-TO within 1-247)"));
    LinkOptions link;
    // Open once here so that a refusal is explained, not just reported.
    if ((status = link.take(parser, parser.positionalArguments()[0], LinkOptions::Scope::Line)) >= 0
        || (status = link.ensurePort()) >= 0)
        return status;

    SearchThread thread;
    LineScan::setUp(thread, link, first, last, parser.value(QStringLiteral("probe-timeout")).toInt());
    ScanPrinter printer(thread, parser.isSet(QStringLiteral("json")), link.devicePath);
    QEventLoop loop;
    QObject::connect(&thread, &SearchThread::searchEvent, &loop, [&](const SearchEventPtr &e) {
        if (printer.handle(*e))
            loop.quit();
    });
    StopSignal stop([&thread] { thread.stopSearch(); });
    thread.startSearch();
    loop.exec();
    thread.wait();
    printer.finish();
    return printer.failed ? int(CliExit::Failure) : int(CliExit::Ok);
}
