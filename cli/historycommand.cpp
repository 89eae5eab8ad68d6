#include "cli/historycommand.h"

#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "device/comtradewriter.h"
#include "device/crashoscillogrampacket.h"
#include "device/faulttext.h"
#include "device/oscillogramcsv.h"
#include "history/historycsv.h"
#include "history/historyeventtext.h"
#include "history/historystore.h"
#include "history/oscillogramblock.h"
#include "link/modbusport.h"
#include "storage/datadirectory.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <limits>
#include <tuple>

namespace {

const char kHistoryUsage[] =
    "Usage: orbix history devices|export|events|oscillograms [options]\n"
    "  devices        the devices held, with their first and last sample times\n"
    "  export         samples of a period as CSV (--csv FILE) or JSON (--json); every device\n"
    "                 without --address, one series per line and address\n"
    "  events         the log entries and link notes of a period\n"
    "  oscillograms   the stored oscillograms; one written with --index N --comtrade BASE or --csv FILE\n"
    "Times are ISO 8601 with Z or an offset (2026-12-08T22:00:00Z); --from and --to are inclusive.";

QString isoTime(qint64 ms) { return HistoryCsv::isoTime(ms); }

struct Options
{
    QString db;
    int address = -1;
    QString port;
    qint64 fromMs = 0;
    qint64 toMs = std::numeric_limits<qint64>::max();
    int index = 0; // oscillograms --index: 1 and up, 0 when not given
};

void addCommon(QCommandLineParser &parser, bool period)
{
    parser.addHelpOption();
    parser.addOption({QStringLiteral("db"), QStringLiteral("The history file (default: history.sqlite in the data directory)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("JSON instead of text.")});
    if (!period)
        return;
    parser.addOption({QStringLiteral("address"), QStringLiteral("The device's address, 1-247 (export: every device without it)."), QStringLiteral("A")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Only the device on this line."), QStringLiteral("PORT")});
    parser.addOption({QStringLiteral("from"), QStringLiteral("First time, ISO 8601 (default: the oldest)."),
                      QStringLiteral("T")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("Last time, ISO 8601 (default: the newest)."),
                      QStringLiteral("T")});
}

bool parseTime(const QString &text, qint64 &ms)
{
    const QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!t.isValid() || t.timeSpec() == Qt::LocalTime)
        return false; // a time without Z or an offset would mean something else on another machine
    ms = t.toMSecsSinceEpoch();
    return true;
}

// A whole number within [min, max], or a reason: "abc" or "-1" is never read as 0 or as none.
QString readNumber(const QCommandLineParser &parser, const QString &name, int min, int max, int &value)
{
    bool ok = false;
    const int n = parser.value(name).toInt(&ok);
    if (!ok || n < min || n > max)
        return QStringLiteral("bad --%1 '%2' (%3)")
            .arg(name, parser.value(name),
                 max == std::numeric_limits<int>::max() ? QStringLiteral("a number, %1 or more").arg(min)
                                                        : QStringLiteral("a number from %1 to %2").arg(min).arg(max));
    value = n;
    return QString();
}

// action: which options it has (devices none of the period's, oscillograms --index too).
QString readOptions(const QCommandLineParser &parser, const QString &action, Options &o)
{
    o.db = parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db"))
                                               : DataDirectory::filePath(QLatin1String(HistoryStore::kFileName));
    if (action == QLatin1String("devices"))
        return QString();
    const bool needAddress = action != QLatin1String("export"); // export: every device without it
    if (parser.isSet(QStringLiteral("address"))) {
        const QString bad = readNumber(parser, QStringLiteral("address"), 1, ModbusPort::kMaxSlaveAddress, o.address);
        if (!bad.isEmpty())
            return bad;
    }
    if (needAddress && o.address < 0)
        return QStringLiteral("needs --address A");
    o.port = parser.value(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("from")) && !parseTime(parser.value(QStringLiteral("from")), o.fromMs))
        return QStringLiteral("bad --from (ISO 8601 with Z or an offset)");
    if (parser.isSet(QStringLiteral("to")) && !parseTime(parser.value(QStringLiteral("to")), o.toMs))
        return QStringLiteral("bad --to (ISO 8601 with Z or an offset)");
    if (action == QLatin1String("oscillograms") && parser.isSet(QStringLiteral("index")))
        return readNumber(parser, QStringLiteral("index"), 1, std::numeric_limits<int>::max(), o.index);
    return QString();
}

QVector<HistoryDevice> matching(HistoryStore &store, const Options &o)
{
    QVector<HistoryDevice> out;
    for (const HistoryDevice &d : store.devices())
        if ((o.address < 0 || d.address == o.address) && (o.port.isEmpty() || d.line == o.port))
            out.append(d);
    return out;
}

int devices(HistoryStore &store, bool json)
{
    const QVector<HistoryDevice> list = store.devices();
    if (!store.error().isEmpty())
        return CommandLine::failed(store.error());
    QTextStream out(stdout);
    QJsonArray array;
    for (const HistoryDevice &d : list) {
        const QString first = d.lastMs ? isoTime(d.firstMs) : QString();
        const QString last = d.lastMs ? isoTime(d.lastMs) : QString();
        if (json)
            array.append(QJsonObject {{QStringLiteral("port"), d.line}, {QStringLiteral("address"), d.address},
                                      {QStringLiteral("identity"), d.identity},
                                      {QStringLiteral("currentScale"), d.currentScale},
                                      {QStringLiteral("first"), first}, {QStringLiteral("last"), last}});
        else
            out << d.line << '\t' << d.address << '\t' << d.identity << '\t' << (first.isEmpty() ? QStringLiteral("-") : first)
                << '\t' << (last.isEmpty() ? QStringLiteral("-") : last) << '\n';
    }
    if (json)
        out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    return CliExit::Ok;
}

int exportSamples(HistoryStore &store, const Options &o, const QCommandLineParser &parser)
{
    struct Row { const HistoryDevice *device; HistorySample sample; };
    const QVector<HistoryDevice> list = matching(store, o);
    QVector<Row> rows;
    for (const HistoryDevice &d : list)
        for (const HistorySample &s : store.samples(d.id, o.fromMs, o.toMs))
            rows.append({&d, s});
    if (!store.error().isEmpty())
        return CommandLine::failed(store.error());
    // One series per device place (line and address), in time order: a device replaced at the same
    // place continues its series; the same address on another line is another series.
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        return std::tie(a.device->line, a.device->address, a.sample.timeMs)
               < std::tie(b.device->line, b.device->address, b.sample.timeMs);
    });
    const QStringList names = QString::fromLatin1(HistoryCsv::kHeader).split(QLatin1Char(','));
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const Row &r : rows) {
            const QStringList f = HistoryCsv::fields(*r.device, r.sample);
            QJsonObject obj;
            for (int i = 0; i < names.size(); ++i)
                obj.insert(names[i], i < 3 ? QJsonValue(f[i]) : QJsonValue(f[i].toDouble()));
            obj.insert(QStringLiteral("address"), r.device->address);
            array.append(obj);
        }
        QTextStream(stdout) << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
        return CliExit::Ok;
    }
    QByteArray text = QByteArray(HistoryCsv::kHeader) + '\n';
    for (const Row &r : rows)
        text += HistoryCsv::row(*r.device, r.sample);
    const QString file = parser.value(QStringLiteral("csv"));
    if (file == QLatin1String("-")) {
        QFile out;
        out.open(stdout, QIODevice::WriteOnly);
        out.write(text);
        return CliExit::Ok;
    }
    if (!DataDirectory::writeFile(file, text))
        return CommandLine::failed(QStringLiteral("cannot write %1").arg(file));
    return CliExit::Ok;
}

QString sourceName(int source)
{
    switch (source) {
    case HistoryEvent::WorkLog: return QStringLiteral("work");
    case HistoryEvent::CrashLog: return QStringLiteral("crash");
    default: return QStringLiteral("link");
    }
}

// The numbers beside the text, for scripts that read no language.
void addValues(QJsonObject &o, const HistoryEvent &e)
{
    if (e.startPeak)
        o.insert(QStringLiteral("startPeak"), *e.startPeak);
    if (!e.phases)
        return;
    QJsonArray currents;
    QJsonArray voltages;
    for (int p = 0; p < HistorySample::kPhases; ++p) {
        currents.append(e.phases->currents[p]);
        voltages.append(e.phases->voltages[p]);
    }
    o.insert(QStringLiteral("currents"), currents);
    o.insert(QStringLiteral("voltages"), voltages);
}

int events(HistoryStore &store, const Options &o, bool json)
{
    QTextStream out(stdout);
    QJsonArray array;
    for (const HistoryDevice &d : matching(store, o)) {
        for (const HistoryEvent &e : store.events(d.id, o.fromMs, o.toMs)) {
            const QString text = HistoryEventText::text(e);
            if (json) {
                QJsonObject entry {{QStringLiteral("time"), isoTime(e.timeMs)}, {QStringLiteral("port"), d.line},
                                   {QStringLiteral("address"), d.address},
                                   {QStringLiteral("source"), sourceName(e.source)},
                                   {QStringLiteral("code"), e.code}, {QStringLiteral("text"), text}};
                addValues(entry, e);
                array.append(entry);
            } else {
                out << isoTime(e.timeMs) << '\t' << d.line << '\t' << sourceName(e.source) << '\t' << e.code << '\t'
                    << text << '\n';
            }
        }
    }
    if (!store.error().isEmpty())
        return CommandLine::failed(store.error());
    if (json)
        out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    return CliExit::Ok;
}

int writeOscillogram(HistoryStore &store, const HistoryDevice &d, const HistoryOscillogram &listed,
                     const QCommandLineParser &parser)
{
    HistoryOscillogram whole;
    CrashOscillogramPacket block;
    if (!store.oscillogram(listed.id, whole))
        return CommandLine::failed(store.error());
    if (!OscillogramBlock::decode(whole.block, block))
        return CommandLine::failed(QStringLiteral("stored oscillogram %1 has a damaged block").arg(listed.id));
    const QString base = parser.value(QStringLiteral("comtrade"));
    if (!base.isEmpty()) {
        const ComtradeWriter writer(block, QStringLiteral("ORBIKS-11 %1/%2").arg(d.identity).arg(d.address));
        for (const auto &file : {std::make_pair(QLatin1String(ComtradeWriter::kConfigSuffix), writer.configuration()),
                                 std::make_pair(QLatin1String(ComtradeWriter::kDataSuffix), writer.data())})
            if (!DataDirectory::writeFile(base + file.first, file.second))
                return CommandLine::failed(QStringLiteral("cannot write %1").arg(base + file.first));
    }
    const QString csv = parser.value(QStringLiteral("csv"));
    if (!csv.isEmpty() && !DataDirectory::writeFile(csv, OscillogramCsv::text(block)))
        return CommandLine::failed(QStringLiteral("cannot write %1").arg(csv));
    return CliExit::Ok;
}

int oscillograms(HistoryStore &store, const Options &o, const QCommandLineParser &parser)
{
    QTextStream out(stdout);
    QJsonArray array;
    const bool pick = o.index > 0;
    const int wanted = o.index;
    int index = 0;
    for (const HistoryDevice &d : matching(store, o)) {
        for (const HistoryOscillogram &osc : store.oscillograms(d.id)) {
            ++index;
            if (pick && index == wanted)
                return writeOscillogram(store, d, osc, parser);
            const QString trip = isoTime(qint64(osc.tripTime) * 1000);
            if (parser.isSet(QStringLiteral("json")))
                array.append(QJsonObject {{QStringLiteral("index"), index}, {QStringLiteral("port"), d.line},
                                          {QStringLiteral("address"), d.address}, {QStringLiteral("tripTime"), trip},
                                          {QStringLiteral("faultCode"), osc.faultCode},
                                          {QStringLiteral("text"), faultText(osc.faultCode)},
                                          {QStringLiteral("recorded"), isoTime(osc.recordedMs)}});
            else if (!pick)
                out << index << '\t' << d.line << '\t' << trip << '\t' << osc.faultCode << '\t'
                    << faultText(osc.faultCode) << '\n';
        }
    }
    if (!store.error().isEmpty())
        return CommandLine::failed(store.error());
    if (pick)
        return CommandLine::failed(QStringLiteral("no oscillogram %1 (there are %2)").arg(wanted).arg(index));
    if (parser.isSet(QStringLiteral("json")))
        out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    return CliExit::Ok;
}

} // namespace

int HistoryCommand::run(const QStringList &arguments)
{
    const QString action = arguments.value(1);
    const QStringList actions {QStringLiteral("devices"), QStringLiteral("export"), QStringLiteral("events"),
                               QStringLiteral("oscillograms")};
    if (action == QLatin1String("--help") || action == QLatin1String("-h")) {
        QTextStream(stdout) << kHistoryUsage << '\n';
        return CliExit::Ok;
    }
    if (!actions.contains(action))
        return CommandLine::usage(QString::fromLatin1(kHistoryUsage).section(QLatin1Char('\n'), 0, 0),
                                  action.isEmpty() ? QStringLiteral("history needs devices, export, events or oscillograms")
                                                   : QStringLiteral("unknown history command '%1'").arg(action));
    QStringList rest = arguments;
    rest.removeAt(1);
    CommandLine::setCommand(QStringLiteral("orbix history ") + action);
    QCommandLineParser parser;
    addCommon(parser, action != QLatin1String("devices"));
    if (action == QLatin1String("export"))
        parser.addOption({QStringLiteral("csv"), QStringLiteral("Write CSV to FILE ('-': standard output)."),
                          QStringLiteral("FILE")});
    if (action == QLatin1String("oscillograms")) {
        parser.addOption({QStringLiteral("index"), QStringLiteral("The oscillogram to write, as listed (1 and up)."), QStringLiteral("N")});
        parser.addOption({QStringLiteral("comtrade"), QStringLiteral("Write it as BASE.cfg and BASE.dat."), QStringLiteral("BASE")});
        parser.addOption({QStringLiteral("csv"), QStringLiteral("Write it as CSV."), QStringLiteral("FILE")});
    }
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, rest, status))
        return status;
    Options o;
    const QString bad = readOptions(parser, action, o);
    if (!bad.isEmpty())
        return CommandLine::usage(parser, bad);
    if (action == QLatin1String("export") && parser.isSet(QStringLiteral("csv")) == parser.isSet(QStringLiteral("json")))
        return CommandLine::usage(parser, QStringLiteral("export needs one of --csv FILE or --json"));
    if (action == QLatin1String("oscillograms") && parser.isSet(QStringLiteral("index"))
        && !parser.isSet(QStringLiteral("comtrade")) && !parser.isSet(QStringLiteral("csv")))
        return CommandLine::usage(parser, QStringLiteral("--index needs --comtrade BASE or --csv FILE"));
    HistoryStore store;
    if (!store.open(o.db, true))
        return CommandLine::failed(store.error());
    if (action == QLatin1String("devices"))
        return devices(store, parser.isSet(QStringLiteral("json")));
    if (action == QLatin1String("export"))
        return exportSamples(store, o, parser);
    if (action == QLatin1String("events"))
        return events(store, o, parser.isSet(QStringLiteral("json")));
    return oscillograms(store, o, parser);
}
