#include "cli/oscillogramcommand.h"

#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/linkoptions.h"
#include "cli/oscillogramread.h"
#include "device/comtradewriter.h"
#include "device/crashoscillogrampacket.h"
#include "device/devicejson.h"
#include "device/deviceinfo.h"
#include "device/faulttext.h"
#include "device/oscillogramcsv.h"
#include "storage/datadirectory.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

bool readOscillogram(const LinkOptions &options, CrashOscillogramPacket &block, QString &reason)
{
    LinkOptions link = options;
    const std::unique_ptr<DeviceSession> session = link.openSession();
    if (!session) {
        reason = link.error;
        return false;
    }
    bool present = false;
    if (!OscillogramRead::read(*session, block, present)) {
        reason = session->errorString();
        return false;
    }
    if (!present) {
        reason = QStringLiteral("no oscillogram");
        return false;
    }
    return true;
}

void print(const CrashOscillogramPacket &block, bool asJson)
{
    QTextStream out(stdout);
    if (asJson) {
        out << QString::fromUtf8(QJsonDocument(DeviceJson::oscillogram(block)).toJson(QJsonDocument::Compact)) << '\n';
        return;
    }
    const QDateTime trip = QDateTime::fromSecsSinceEpoch(block.tripTime(), Qt::UTC);
    out << "faultCode " << block.faultCode() << '\n'
        << "text " << faultText(block.faultCode()) << '\n'
        << "tripTime " << block.tripTime() << ' ' << trip.toString(Qt::ISODate) << '\n';
}

// Empty when everything asked for was written, else the file that was not.
QString writeFiles(const QCommandLineParser &parser, const CrashOscillogramPacket &block, const DeviceInfo &device)
{
    const QString base = parser.value(QStringLiteral("comtrade"));
    if (!base.isEmpty()) {
        const ComtradeWriter writer(block, ComtradeWriter::deviceId(device));
        const QString cfg = base + QLatin1String(ComtradeWriter::kConfigSuffix);
        const QString dat = base + QLatin1String(ComtradeWriter::kDataSuffix);
        if (!DataDirectory::writeFile(cfg, writer.configuration()))
            return cfg;
        if (!DataDirectory::writeFile(dat, writer.data()))
            return dat;
    }
    const QString csv = parser.value(QStringLiteral("csv"));
    if (!csv.isEmpty() && !DataDirectory::writeFile(csv, OscillogramCsv::text(block)))
        return csv;
    return QString();
}

void addOscillogramOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Reads the crash oscillogram of a device and prints its fault code, the fault's text and the\n"
        "trip time (seconds since 1970 UTC). Exit status 1 with 'no oscillogram' when the fault code is 0."));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    parser.addOption({QStringLiteral("comtrade"),
                      QStringLiteral("Write BASE.cfg and BASE.dat (COMTRADE 1999, ASCII, times in UTC)."),
                      QStringLiteral("BASE")});
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Write the samples in amperes and volts as CSV."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("One JSON object: faultCode, text, tripTime, currentScale, voltageScale,\n"
                                     "samples (six arrays of 64 raw values: IA, IB, IC, UA, UB, UC).")});
    LinkOptions::addPortArgument(parser);
}

} // namespace

int OscillogramCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOscillogramOptions(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    if (parser.positionalArguments().size() != 1)
        return CommandLine::usage(parser, QStringLiteral("oscillogram needs PORT"));
    LinkOptions link;
    DeviceInfo device;
    if ((status = link.take(parser, parser.positionalArguments()[0])) >= 0 || (status = link.identify(device)) >= 0)
        return status;
    QString reason;
    CrashOscillogramPacket block;
    if (!readOscillogram(link, block, reason))
        return CommandLine::failed(reason);
    print(block, parser.isSet(QStringLiteral("json")));
    const QString unwritten = writeFiles(parser, block, device);
    return unwritten.isEmpty() ? int(CliExit::Ok) : CommandLine::failed(QStringLiteral("cannot write ") + unwritten);
}
