#include "cli/monitorcommand.h"

#include "cli/accesscode.h"
#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/eventprinter.h"
#include "cli/linkoptions.h"
#include "cli/stopsignal.h"
#include "device/currentscale.h"
#include "device/deviceinfo.h"
#include "exchange/dataeventerror.h"
#include "exchange/datathread.h"
#include "exchange/eventdispatch.h"
#include "exchange/linkstatisticsevent.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "storage/appsettings.h"
#include "storage/datadirectory.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QTextStream>

#include <iterator>
#include <optional>

namespace {

const char kDescription[] =
    "Connects to a device as the program does and prints every event of the connection,\n"
    "one line each: the type code, its name and its fields. With --json each event is one\n"
    "JSON object whose \"type\" is the code:\n"
    "   0 monitoring       calculatedHeating, faultCode, alarm, inputs, outputs, motorRunning,\n"
    "                      ptcState, humidityState, pt100Temperature, phaseCurrents [A,B,C]\n"
    "                      in amperes, phaseCurrentsRaw [A,B,C] (the device's words),\n"
    "                      phaseVoltages [A,B,C], deviceTime, motorHours, startCount (80 and above)\n"
    "   1 connected        no fields\n"
    "   2 disconnected     no fields\n"
    "   3 error            error: 0 identification not read, 1 port cannot be opened, 2 link lost,\n"
    "                      3 device does not match (the command ends, except after 2)\n"
    "   4 link restored    no fields\n"
    "   5 logs             protocol [{index, code, time, startPeak, text}],\n"
    "                      crashProtocol [{index, code, time, text, currents, voltages}]\n"
    "   6 configuration    result, version, words\n"
    "   7 clock set        8 clock not set, 9 crash log cleared, 10 crash log not cleared,\n"
    "                      11 work log cleared, 12 work log not cleared, 13 running time reset,\n"
    "                      14 running time not reset: no fields\n"
    "  15 start characteristic  recordTime, baseCurrent, completeness, timeWords\n"
    "  16 auto-setup progress   state, accumulation, completeness\n"
    "  17 oscillogram      faultCode, tripTime, text\n"
    "  18 auto-setup state oldState, newState\n"
    "Times are seconds since 1970 UTC. The line's statistics come once, last: {\"stats\": {...}}\n"
    "(requests, replies, timeouts, crcErrors, exceptions, wrongAddress, lineErrors, ...).";

const char *const kConnectionErrors[] = {
    "identification registers could not be read",
    "port cannot be opened",
    "link lost",
    "the device does not match its identification (modification or rated range differ)",
};
static_assert(std::size(kConnectionErrors) == DataEventError::IdentificationMismatch + 1, "a text for every error");

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
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    parser.addOption({QStringLiteral("cycles"), QStringLiteral("Stop after N monitoring events (0: run until Ctrl-C)."),
                      QStringLiteral("N"), QStringLiteral("0")});
    AccessCode::addTo(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("One JSON object per event.")});
    parser.addOption({QStringLiteral("record"), QStringLiteral("Keep every sample, log entry and oscillogram in the history file.")});
    parser.addOption({QStringLiteral("db"), QStringLiteral("The history file (default: history.sqlite in the data directory)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("full-days"),
                      QStringLiteral("Days kept at full resolution (default %1).").arg(AppSettings::kDefaultHistoryFullDays),
                      QStringLiteral("DAYS"), QString::number(AppSettings::kDefaultHistoryFullDays)});
    parser.addOption({QStringLiteral("minute-days"),
                      QStringLiteral("Days kept as one row a minute (default %1).").arg(AppSettings::kDefaultHistoryMinuteDays),
                      QStringLiteral("DAYS"), QString::number(AppSettings::kDefaultHistoryMinuteDays)});
    LinkOptions::addPortArgument(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    if (parser.positionalArguments().size() != 1)
        return CommandLine::usage(parser, QStringLiteral("monitor needs PORT"));
    LinkOptions link;
    if ((status = link.take(parser, parser.positionalArguments()[0])) >= 0)
        return status;
    bool ok = false;
    const int cycles = parser.value(QStringLiteral("cycles")).toInt(&ok);
    if (!ok || cycles < 0)
        return CommandLine::usage(parser, QStringLiteral("bad --cycles"));
    // Whole days, at least one: a typo must not empty the history at the next pass.
    int days[2] = {};
    const char *const dayOptions[2] = {"full-days", "minute-days"};
    for (int i = 0; i < 2; ++i) {
        days[i] = parser.value(QLatin1String(dayOptions[i])).toInt(&ok);
        if (!ok || days[i] < 1)
            return CommandLine::usage(parser, QStringLiteral("bad --%1").arg(QLatin1String(dayOptions[i])));
    }
    std::optional<quint16> accessCode;
    QString reason;
    if (!AccessCode::obtain(parser, false, accessCode, reason))
        return CommandLine::usage(parser, reason);
    DeviceInfo device;
    if ((status = link.ensurePort()) >= 0 || (status = link.identify(device)) >= 0)
        return status;

    const bool json = parser.isSet(QStringLiteral("json"));
    const CurrentScale scale(device.currentScale);
    QTextStream out(stdout);
    DataThread thread(device, link.devicePath);
    thread.setLineOptions(link.options);
    thread.setTiming(link.timing());
    thread.setAccessCode(qint16(accessCode.value_or(0))); // none: the device refuses guarded writes
    HistoryRecorder recorder(parser.isSet(QStringLiteral("db"))
                                 ? parser.value(QStringLiteral("db"))
                                 : DataDirectory::writableFilePath(QLatin1String(HistoryStore::kFileName)));
    recorder.setRetention(days[0], qMax(days[0], days[1]));
    if (parser.isSet(QStringLiteral("record"))) {
        if (recorder.start()) // without history the monitoring goes on
            recorder.attach(thread, parser.positionalArguments()[0]);
        else
            QTextStream(stderr) << "orbix: history not kept: " << recorder.error() << '\n';
    }
    int seen = 0;
    int exitCode = CliExit::Ok;
    QEventLoop loop;
    std::optional<LinkStatistics> stats;
    QObject::connect(&thread, &DataThread::dataEvent, &loop, [&](const DataEventPtr &event) {
        const DataEvent *e = event.get();
        const bool counts = EventDispatch::visit(*e, EventHandlers {
            [&stats](const LinkStatisticsEvent &s) { // printed once, at the end
                stats = s.statistics();
                return true;
            },
            [](const DataEvent &) { return false; }});
        if (counts)
            return;
        out << (json ? QString::fromUtf8(QJsonDocument(EventPrinter::json(*e, scale)).toJson(QJsonDocument::Compact))
                     : EventPrinter::text(*e, scale))
            << '\n' << Qt::flush;
        EventDispatch::visit(*e, EventHandlers {
            [&](const DataEventError &error) {
                const int code = error.error();
                if (code != DataEventError::LinkLost) {
                    QTextStream(stderr) << "orbix: connection failed: " << kConnectionErrors[code] << '\n';
                    exitCode = CliExit::Failure;
                    loop.quit();
                }
            },
            [](const DataEvent &) {}});
        if (e->type() == DataEvent::Get && cycles > 0 && ++seen >= cycles)
            loop.quit();
    });
    StopSignal stop([&loop] { loop.quit(); });
    thread.startExchange();
    loop.exec();
    if (thread.isRunning())
        thread.stopExchange(); // prints the disconnection (type 2) through the direct call
    if (stats)
        printStatistics(out, *stats, json);
    return exitCode;
}
