#include "cli/configcommand.h"

#include "cli/accesscode.h"
#include "cli/cliexit.h"
#include "cli/commandline.h"
#include "cli/linescan.h"
#include "cli/linkoptions.h"
#include "device/configfields.h"
#include "device/configpacket.h"
#include "device/configrules.h"
#include "device/deviceinfo.h"
#include "device/packetfactory.h"
#include "storage/configbackup.h"
#include "storage/settingsfile.h"
#ifdef ORBIX_WITH_REPORT
#include "i18n/translation.h"
#endif

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <memory>

namespace {

using F = ConfigFields;

// The device as the data exchange thread meets it: identification, then the block its
// modification selects.
struct Device {
    LinkOptions link;
    std::unique_ptr<DeviceSession> session;
    DeviceInfo info;
    std::unique_ptr<ConfigPacket> block;

    bool connect(QString &error);
    std::unique_ptr<ConfigPacket> readBack(QString &error);
};

bool Device::connect(QString &error)
{
    session = link.connect(info);
    if (!session) {
        error = link.error;
        return false;
    }
    block = readBack(error);
    return block != nullptr;
}

std::unique_ptr<ConfigPacket> Device::readBack(QString &error)
{
    std::unique_ptr<ConfigPacket> b = PacketFactory::configuration(info.modification);
    if (session->readBlock(*b))
        return b;
    error = QStringLiteral("configuration could not be read: ") + session->errorString();
    return nullptr;
}

// "name (written W, held H), ..." for the fields whose words differ.
QString written(const ConfigPacket &sent, const ConfigPacket &held)
{
    QStringList parts;
    for (F::Id id : F::differences(sent, held))
        parts << QStringLiteral("%1 (written %2, held %3)").arg(F::name(id)).arg(F::value(sent, id)).arg(F::value(held, id));
    return parts.join(QStringLiteral(", "));
}

// The field as the setup tab shows it.
QString shown(const Device &d, F::Id id)
{
    return F::shown(id, F::value(*d.block, id), d.info.currentScale);
}

// The settings file, with "shown" beside its "fields": a file for `config set` all the same.
QByteArray json(const Device &d)
{
    QJsonObject o = QJsonDocument::fromJson(SettingsFile::fromBlock(*d.block, d.info).toJson()).object();
    QJsonObject shownFields;
    for (F::Id id : F::fieldsOf(d.block->version()))
        shownFields.insert(F::name(id), shown(d, id));
    o.insert(QStringLiteral("shown"), shownFields);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

int get(Device &d, bool asJson)
{
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    if (asJson) {
        out << json(d);
        return CliExit::Ok;
    }
    for (F::Id id : F::fieldsOf(d.block->version()))
        out << F::name(id) << ' ' << shown(d, id) << '\n';
    return CliExit::Ok;
}

int diff(const Device &d, const SettingsFile &file)
{
    QTextStream out(stdout);
    const QVector<F::Id> onDevice = F::fieldsOf(d.block->version());
    bool differs = false;
    for (int i = 0; i < F::Count; ++i) {
        const auto id = F::Id(i);
        const bool held = onDevice.contains(id);
        const bool inFile = file.fields.contains(F::name(id));
        const QString device = held ? QString::number(F::value(*d.block, id)) : QStringLiteral("-");
        const QString fromFile = inFile ? QString::number(file.fields.value(F::name(id))) : QStringLiteral("-");
        if ((held || inFile) && device != fromFile) {
            out << F::name(id) << ' ' << device << ' ' << fromFile << '\n';
            differs = true;
        }
    }
    return differs ? ConfigCommand::kDiffers : int(CliExit::Ok);
}

// The block the file asks for, or the reason it cannot be written to this device.
// otherModification: a device of another modification takes the fields it has, as a
// settings file loaded in the setup tab gives them; note names what it left.
std::unique_ptr<ConfigPacket> checked(const Device &d, const SettingsFile &file, bool otherModification,
                                      QString &note, QString &error)
{
    const int fileVersion = PacketFactory::configuration(file.modification)->version();
    const bool sameBlock = fileVersion == d.block->version();
    if (!sameBlock && !otherModification) {
        error = QStringLiteral("the file is for modification %1, the device is modification %2 (other settings)")
                    .arg(file.modification).arg(d.info.modification);
        return nullptr;
    }
    std::unique_ptr<ConfigPacket> block(d.block->clone());
    SettingsFile::Applied applied;
    if (!file.applyTo(*block, d.info, applied, error))
        return nullptr;
    if (!sameBlock) {
        QStringList parts {QStringLiteral("modification %1, the file's %2: the fields it has")
                               .arg(d.info.modification).arg(file.modification)};
        if (!applied.leftOut.isEmpty())
            parts << QStringLiteral("not held: ") + applied.leftOut.join(QLatin1Char(' '));
        if (!applied.notInFile.isEmpty())
            parts << QStringLiteral("kept: ") + applied.notInFile.join(QLatin1Char(' '));
        note = parts.join(QStringLiteral("; "));
    } else if (!applied.notInFile.isEmpty()) {
        error = QStringLiteral("field missing from the file: ") + applied.notInFile.join(QStringLiteral(", "));
        return nullptr;
    }
    const QVector<ConfigRules::Violation> violations = ConfigRules::check(ConfigRules::Settings::of(*block));
    if (!violations.isEmpty()) {
        QStringList names;
        for (F::Id id : violations.first().marked)
            names << F::name(id);
        error = QStringLiteral("consistency rule %1 violated: %2").arg(violations.first().rule).arg(names.join(QStringLiteral(", ")));
        return nullptr;
    }
    return block;
}

// One device's write: the backup first, then the block, then what the device holds read
// back. False with error; backup is set once it is written.
bool writeTo(Device &d, const SettingsFile &file, quint16 code, bool otherModification, QString &backupPath,
             QString &note, QString &error)
{
    if (!ConfigBackup::save(*d.block, d.info, ConfigBackup::portLabel(d.link.portNumber, d.link.devicePath),
                            backupPath, error)) {
        backupPath.clear(); // named, but not written
        error = QStringLiteral("no write without a backup: ") + error;
        return false;
    }
    const std::unique_ptr<ConfigPacket> block = checked(d, file, otherModification, note, error);
    if (!block)
        return false;
    const bool sent = d.session->writeBlock(*block, code);
    const QString sendError = d.session->errorString();
    const std::unique_ptr<ConfigPacket> held = d.readBack(error);
    if (!held) {
        error = (sent ? QString() : QStringLiteral("write failed (%1); ").arg(sendError)) + error;
        return false;
    }
    const QString mismatch = written(*block, *held);
    if (!sent)
        error = QStringLiteral("write failed (%1); the device holds other values than written in: %2")
                    .arg(sendError, mismatch.isEmpty() ? QStringLiteral("no field") : mismatch);
    else if (!mismatch.isEmpty())
        error = QStringLiteral("the device holds other values than written: ") + mismatch;
    return sent && mismatch.isEmpty();
}

int set(Device &d, const SettingsFile &file, quint16 code)
{
    QString backupPath, note, error;
    const bool ok = writeTo(d, file, code, false, backupPath, note, error);
    if (!backupPath.isEmpty())
        QTextStream(stdout) << "backup " << backupPath << '\n' << Qt::flush;
    return ok ? int(CliExit::Ok) : CommandLine::failed(error);
}

// "1-5" or "1,3,7" (ranges within a list too), each address once, in the order given;
// false on anything else. A list names devices that must be there; a range is searched.
bool parseAddresses(const QString &text, QVector<int> &addresses, bool &searched)
{
    searched = false;
    for (const QString &part : text.split(QLatin1Char(','))) {
        int first = 0, last = 0;
        if (!LineScan::parseRange(part, first, last))
            return false;
        searched = searched || first != last;
        for (int a = first; a <= last; ++a)
            if (!addresses.contains(a))
                addresses << a;
    }
    return !addresses.isEmpty();
}

// The same file to every device at the addresses: one line per device, then a summary.
// In a range an address where nothing answers the search's probe holds no device.
int setMany(const LinkOptions &link, const QVector<int> &addresses, bool searched, const SettingsFile &file,
            quint16 code)
{
    QTextStream out(stdout);
    int devices = 0, took = 0;
    for (int address : addresses) {
        Device d;
        d.link = link;
        d.link.address = address;
        QString error, backupPath, note;
        d.session = d.link.connect(d.info, searched ? d.link.timing().probeTimeout(d.link.baud) : 0);
        if (!d.session && searched && d.link.silent)
            continue;
        ++devices;
        if (!d.session) {
            out << "address " << address << ": failed: " << d.link.error << '\n' << Qt::flush;
            continue;
        }
        d.block = d.readBack(error);
        const bool ok = d.block && writeTo(d, file, code, true, backupPath, note, error);
        out << "address " << address << ": " << (ok ? QStringLiteral("done") : QStringLiteral("failed: ") + error);
        if (!backupPath.isEmpty())
            out << "; backup " << backupPath;
        if (!note.isEmpty())
            out << "; " << note;
        out << '\n' << Qt::flush;
        took += ok;
    }
    out << "config set: " << took << " of " << devices << " devices took the settings\n" << Qt::flush;
    if (devices == 0)
        return CommandLine::failed(QStringLiteral("no ОРБИКС-11 found"));
    if (took < devices)
        return CommandLine::failed(QStringLiteral("%1 of %2 devices did not take the settings").arg(devices - took).arg(devices));
    return CliExit::Ok;
}

void addConfigOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "get PORT: prints the device's settings, one line per field: FIELD VALUE, the value as the\n"
        "  setup tab shows it (number and unit, the choice's text). --json prints a settings file\n"
        "  (register words) with the values as shown under \"shown\".\n"
        "set PORT FILE: writes a settings file to the device after a backup (backups/ of the data\n"
        "  directory) and checks that the device holds what was written.\n"
        "set PORT --addresses FROM-TO|A,B,... FILE: the same to every device there, one line each:\n"
        "  address A: done|failed: REASON; backup PATH, then a summary. In a range, addresses where\n"
        "  nothing answers hold no device; every address of a list must answer. A device of another\n"
        "  modification takes the fields it has (as the setup tab loads the file) and is named so.\n"
        "  Exit 0 only when every device took the settings.\n"
        "diff PORT FILE: one line per field that differs: FIELD DEVICE FILE; exit 3 when any does."));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    AccessCode::addTo(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("get: print the settings file itself.")});
    parser.addOption({QStringLiteral("addresses"),
                      QStringLiteral("set: every device at FROM-TO or at the list A,B,... (instead of --address)."),
                      QStringLiteral("LIST")});
    parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("get, set or diff."));
    LinkOptions::addPortArgument(parser);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Settings file (set, diff)."), QStringLiteral("[FILE]"));
}

} // namespace

int ConfigCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    addConfigOptions(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    const int wanted = action == QLatin1String("get") ? 2 : 3;
    if ((action != QLatin1String("get") && action != QLatin1String("set") && action != QLatin1String("diff"))
        || pos.size() != wanted)
        return CommandLine::usage(parser, QStringLiteral("config needs get PORT, set PORT FILE or diff PORT FILE"));
    // Fields are shown as the setup tab shows them (in a value, a range refused), in
    // English where the build carries the window's translation (a build without the
    // window has none: its texts stay Russian).
#ifdef ORBIX_WITH_REPORT
    Translation::install(Translation::English);
#endif
    Device d;
    if ((status = d.link.take(parser, pos[1])) >= 0)
        return status;
    std::optional<quint16> code;
    QString error;
    if (action == QLatin1String("set") && !AccessCode::obtain(parser, true, code, error))
        return CommandLine::usage(parser, error);
    SettingsFile file;
    if (wanted == 3 && !SettingsFile::load(pos[2], file, error))
        return CommandLine::failed(pos[2] + QStringLiteral(": ") + error);
    if (parser.isSet(QStringLiteral("addresses"))) {
        QVector<int> addresses;
        bool searched = false;
        if (action != QLatin1String("set"))
            return CommandLine::usage(parser, QStringLiteral("--addresses is for config set"));
        if (!parseAddresses(parser.value(QStringLiteral("addresses")), addresses, searched))
            return CommandLine::usage(parser, QStringLiteral("bad --addresses (FROM-TO or A,B,... within 1-247)"));
        return setMany(d.link, addresses, searched, file, *code);
    }
    if (!d.connect(error))
        return CommandLine::failed(error);
    if (action == QLatin1String("get"))
        return get(d, parser.isSet(QStringLiteral("json")));
    if (action == QLatin1String("diff"))
        return diff(d, file);
    return set(d, file, *code);
}
