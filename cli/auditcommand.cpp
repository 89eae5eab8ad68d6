#include "cli/auditcommand.h"

#include "cli/auditindex.h"
#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/devicesnapshot.h"
#include "cli/linescan.h"
#include "cli/linkoptions.h"
#include "cli/reportcommand.h"
#include "cli/snapshotreport.h"
#include "cli/stopsignal.h"
#include "device/comtradewriter.h"
#include "device/deviceinfo.h"
#include "exchange/eventdispatch.h"
#include "exchange/searchthread.h"
#include "storage/datadirectory.h"
#include "storage/settingsfile.h"

#include <QDir>
#include <QEventLoop>
#include <QTextStream>
#include <QVector>

#include <algorithm>

namespace {

constexpr int kProgressSteps = 10; // scan progress lines: one per tenth of the probes

// One device of the audit and the name its files start with in DIR.
struct AuditedDevice {
    DeviceInfo device;
    QString baseName;
};

struct Audit {
    LinkOptions link;
    QDir out;
    int seconds = ReportCommand::kDefaultSeconds;
    AuditIndex index;
    QTextStream err {stderr};
};

void addAuditOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Scans a line as 'orbix scan' does, then writes into DIR for every ОРБИКС-11 found its report\n"
        "(ADDRESS.pdf), its settings file (ADDRESS.json), its oscillogram when it holds one\n"
        "(ADDRESS.cfg, ADDRESS.dat), and audit.csv with one row per device. Progress on stderr.\n"
        "A device that answers under several frame formats is audited once, at the first; where\n"
        "different devices share an address, their files are named with the format (3-8E1.pdf).\n"
        "Exit 0 only when every device found was audited."));
    parser.addHelpOption();
    LineScan::addOptionsTo(parser);
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("Seconds of live values per device (default 10)."),
                      QStringLiteral("S"), QString::number(ReportCommand::kDefaultSeconds)});
    parser.addOption({QStringLiteral("out"), QStringLiteral("Directory of the files written."), QStringLiteral("DIR")});
    LinkOptions::addLineTimingTo(parser);
    LinkOptions::addPortArgument(parser);
}

// The ОРБИКС-11 devices of the line, in the order the search found them; failure
// says why the scan did not reach its end (Ctrl-C stops it, and the audit).
QVector<DeviceInfo> scan(Audit &audit, int first, int last, int probeTimeoutMs, QString &failure)
{
    SearchThread thread;
    LineScan::setUp(thread, audit.link, first, last, probeTimeoutMs);
    QVector<DeviceInfo> found;
    int reported = 0;
    QEventLoop loop;
    QObject::connect(&thread, &SearchThread::searchEvent, &loop, [&](const SearchEventPtr &e) {
        EventDispatch::visit(*e, EventHandlers {
            [&](const SearchEventFound &f) {
                const DeviceInfo &d = f.device();
                if (d.kind == DeviceInfo::Recognised)
                    found.append(d);
                else
                    audit.err << "audit: address " << d.address
                              << QStringLiteral(" answered, but not as an ОРБИКС-11: left out\n");
            },
            [&](const SearchEvent &s) {
                if (s.type() == SearchEvent::Progress) {
                    const int step = thread.probeCount() * kProgressSteps / thread.scanProbes();
                    if (step > reported)
                        audit.err << "audit: scanning: " << thread.probeCount() << '/' << thread.scanProbes()
                                  << " probes, " << found.size() << " found\n" << Qt::flush;
                    reported = step;
                } else if (s.type() != SearchEvent::Started) {
                    if (s.type() == SearchEvent::Error)
                        failure = QStringLiteral("the scan failed: the port cannot be opened");
                    else if (s.type() == SearchEvent::Stopped)
                        failure = QStringLiteral("the scan was stopped");
                    loop.quit();
                }
            }});
    });
    StopSignal stop([&thread] { thread.stopSearch(); });
    thread.startSearch();
    loop.exec();
    thread.wait();
    return found;
}

// What the device says it is, not how the line reached it.
bool sameIdentity(const DeviceInfo &a, const DeviceInfo &b)
{
    return a.kind == b.kind && a.modification == b.modification && a.currentScale == b.currentScale
        && a.minRatedCurrent == b.minRatedCurrent && a.maxRatedCurrent == b.maxRatedCurrent;
}

// A converter that ignores parity, or a gateway that keeps its own format, makes one
// device answer under every format probed: it is audited once, at the first. Where
// different devices share an address, each one's files carry its format, so that no
// file of the audit is written twice.
QVector<AuditedDevice> distinctDevices(Audit &audit, const QVector<DeviceInfo> &found)
{
    QVector<AuditedDevice> devices;
    for (const DeviceInfo &d : found) {
        const auto same = std::find_if(devices.cbegin(), devices.cend(), [&d](const AuditedDevice &a) {
            return a.device.address == d.address && sameIdentity(a.device, d);
        });
        if (same == devices.cend())
            devices.append({d, QString::number(d.address)});
        else
            audit.err << "audit: address " << d.address << " answered under " << DeviceInfo::formatLabel(d.frameFormat)
                      << " too: the same device, audited at " << DeviceInfo::formatLabel(same->device.frameFormat) << '\n';
    }
    for (AuditedDevice &a : devices) {
        const auto atAddress = std::count_if(devices.cbegin(), devices.cend(), [&a](const AuditedDevice &other) {
            return other.device.address == a.device.address;
        });
        if (atAddress > 1)
            a.baseName += QLatin1Char('-') + DeviceInfo::formatLabel(a.device.frameFormat);
    }
    return devices;
}

// The settings file, the report and the oscillogram; files names what was written.
bool writeFiles(const Audit &audit, const QString &baseName, const DeviceSnapshot &snapshot, QStringList &files,
                QString &reason)
{
    const QString base = audit.out.filePath(baseName);
    const QString settings = base + QLatin1Char('.') + QLatin1String(SettingsFile::kSuffix);
    if (!SettingsFile::fromBlock(*snapshot.configuration, snapshot.device).save(settings, reason))
        return false;
    files << QFileInfo(settings).fileName();
    const QString report = base + QStringLiteral(".pdf");
    if (!SnapshotReport(snapshot).write(report, reason))
        return false;
    files << QFileInfo(report).fileName();
    if (!snapshot.oscillogram)
        return true;
    const ComtradeWriter writer(*snapshot.oscillogram, ComtradeWriter::deviceId(snapshot.device));
    for (const auto &file : {std::make_pair(ComtradeWriter::kConfigSuffix, writer.configuration()),
                             std::make_pair(ComtradeWriter::kDataSuffix, writer.data())}) {
        const QString path = base + QLatin1String(file.first);
        if (!DataDirectory::writeFile(path, file.second)) {
            reason = QStringLiteral("cannot write ") + path;
            return false;
        }
        files << QFileInfo(path).fileName();
    }
    return true;
}

bool auditDevice(Audit &audit, const AuditedDevice &audited)
{
    const DeviceInfo &device = audited.device;
    LinkOptions link = audit.link;
    link.address = device.address;
    link.frameFormat = device.frameFormat;
    DeviceSnapshot snapshot;
    QStringList files;
    QString reason;
    const bool read = snapshot.read(link, device, audit.seconds, reason);
    const bool written = read && writeFiles(audit, audited.baseName, snapshot, files, reason);
    audit.index.add(device, read ? snapshot.monitoring.get() : nullptr, files, reason);
    if (written)
        audit.err << "  done: " << files.join(QLatin1Char(' ')) << '\n' << Qt::flush;
    else
        audit.err << "  failed: " << reason << '\n' << Qt::flush;
    return written;
}

int auditAll(Audit &audit, const QVector<AuditedDevice> &devices)
{
    int audited = 0;
    for (int i = 0; i < devices.size(); ++i) {
        const DeviceInfo &d = devices[i].device;
        audit.err << "audit: device " << i + 1 << " of " << devices.size() << ": address " << d.address << ' '
                  << DeviceInfo::formatLabel(d.frameFormat) << '\n' << Qt::flush;
        audited += auditDevice(audit, devices[i]);
    }
    const QString index = audit.out.filePath(QLatin1String(AuditIndex::kFileName));
    if (!DataDirectory::writeFile(index, audit.index.text()))
        return CommandLine::failed(QStringLiteral("cannot write ") + index);
    audit.err << "audit: " << audited << " of " << devices.size() << " devices audited; index " << index << '\n'
              << Qt::flush;
    if (devices.isEmpty())
        return CommandLine::failed(QStringLiteral("no ОРБИКС-11 found"));
    if (audited < devices.size())
        return CommandLine::failed(QStringLiteral("%1 of %2 devices not audited").arg(devices.size() - audited).arg(devices.size()));
    return CliExit::Ok;
}

} // namespace

int AuditCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    addAuditOptions(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    if (parser.positionalArguments().size() != 1 || parser.value(QStringLiteral("out")).isEmpty())
        return CommandLine::usage(parser, QStringLiteral("audit needs PORT and --out DIR"));
    int first = 1, last = SearchThread::kLastAddress;
    if (!LineScan::parseRange(parser.value(QStringLiteral("addresses")), first, last))
        return CommandLine::usage(parser, QStringLiteral("bad address range (FROM-TO within 1-247)"));
    Audit audit;
    bool ok = false;
    audit.seconds = parser.value(QStringLiteral("seconds")).toInt(&ok);
    if (!ok || audit.seconds < 1)
        return CommandLine::usage(parser, QStringLiteral("bad --seconds (1 or more)"));
    if ((status = audit.link.take(parser, parser.positionalArguments()[0], LinkOptions::Scope::Line)) >= 0)
        return status;
    audit.out.setPath(parser.value(QStringLiteral("out")));
    if (!audit.out.mkpath(QStringLiteral(".")))
        return CommandLine::failed(QStringLiteral("cannot create ") + audit.out.path());
    if ((status = audit.link.ensurePort()) >= 0)
        return status;
    QString failure;
    const QVector<DeviceInfo> found = scan(audit, first, last, parser.value(QStringLiteral("probe-timeout")).toInt(), failure);
    if (!failure.isEmpty())
        return CommandLine::failed(failure);
    const QVector<AuditedDevice> devices = distinctDevices(audit, found);
    audit.err << "audit: " << devices.size() << QStringLiteral(" ОРБИКС-11 found\n");
    return auditAll(audit, devices);
}
