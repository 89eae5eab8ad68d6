#include "configcommand.h"

#include "accesscode.h"
#include "cliexit.h"
#include "commandline.h"
#include "configbackup.h"
#include "configfields.h"
#include "configpacket.h"
#include "configrules.h"
#include "deviceinfo.h"
#include "linkoptions.h"
#include "packetfactory.h"
#include "settingsfile.h"
#ifdef ORBIX_WITH_REPORT
#include "translation.h"
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

// The field as the setup tab shows it, in English where the build carries the window's
// translation (a build without the window has none: its texts stay Russian).
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
#ifdef ORBIX_WITH_REPORT
    Translation::install(Translation::English);
#endif
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
std::unique_ptr<ConfigPacket> checked(const Device &d, const SettingsFile &file, QString &error)
{
    const int fileVersion = PacketFactory::configuration(file.modification)->version();
    if (fileVersion != d.block->version()) {
        error = QStringLiteral("the file is for modification %1, the device is modification %2 (other settings)")
                    .arg(file.modification).arg(d.info.modification);
        return nullptr;
    }
    std::unique_ptr<ConfigPacket> block(d.block->clone());
    SettingsFile::Applied applied;
    if (!file.applyTo(*block, d.info, applied, error))
        return nullptr;
    if (!applied.notInFile.isEmpty()) {
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

int set(Device &d, const SettingsFile &file, quint16 code)
{
    QString error;
    QString backupPath;
    if (!ConfigBackup::save(*d.block, d.info, ConfigBackup::portLabel(d.link.portNumber, d.link.devicePath),
                            backupPath, error))
        return CommandLine::failed(QStringLiteral("no write without a backup: ") + error);
    QTextStream(stdout) << "backup " << backupPath << '\n' << Qt::flush;
    const std::unique_ptr<ConfigPacket> block = checked(d, file, error);
    if (!block)
        return CommandLine::failed(error);
    const bool sent = d.session->writeBlock(*block, code);
    const QString sendError = d.session->errorString();
    const std::unique_ptr<ConfigPacket> held = d.readBack(error);
    if (!held)
        return CommandLine::failed((sent ? QString() : QStringLiteral("write failed (%1); ").arg(sendError)) + error);
    const QString mismatch = written(*block, *held);
    if (!sent)
        return CommandLine::failed(QStringLiteral("write failed (%1); the device holds other values than written in: %2")
                                       .arg(sendError, mismatch.isEmpty() ? QStringLiteral("no field") : mismatch));
    if (!mismatch.isEmpty())
        return CommandLine::failed(QStringLiteral("the device holds other values than written: ") + mismatch);
    return CliExit::Ok;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "get PORT: prints the device's settings, one line per field: FIELD VALUE, the value as the\n"
        "  setup tab shows it (number and unit, the choice's text). --json prints a settings file\n"
        "  (register words) with the values as shown under \"shown\".\n"
        "set PORT FILE: writes a settings file to the device after a backup (backups/ of the data\n"
        "  directory) and checks that the device holds what was written.\n"
        "diff PORT FILE: one line per field that differs: FIELD DEVICE FILE; exit 3 when any does."));
    parser.addHelpOption();
    LinkOptions::addTo(parser);
    AccessCode::addTo(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("get: print the settings file itself.")});
    parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("get, set or diff."));
    LinkOptions::addPortArgument(parser);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Settings file (set, diff)."), QStringLiteral("[FILE]"));
}

} // namespace

int ConfigCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    int status = CliExit::Ok;
    if (!CommandLine::parse(parser, arguments, status))
        return status;
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    const int wanted = action == QLatin1String("get") ? 2 : 3;
    if ((action != QLatin1String("get") && action != QLatin1String("set") && action != QLatin1String("diff"))
        || pos.size() != wanted)
        return CommandLine::usage(parser, QStringLiteral("config needs get PORT, set PORT FILE or diff PORT FILE"));
    Device d;
    if (!d.link.read(parser, pos[1]))
        return CommandLine::usage(parser, d.link.error);
    std::optional<quint16> code;
    QString error;
    if (action == QLatin1String("set") && !AccessCode::obtain(parser, true, code, error))
        return CommandLine::usage(parser, error);
    SettingsFile file;
    if (wanted == 3 && !SettingsFile::load(pos[2], file, error))
        return CommandLine::failed(pos[2] + QStringLiteral(": ") + error);
    if (!d.connect(error))
        return CommandLine::failed(error);
    if (action == QLatin1String("get"))
        return get(d, parser.isSet(QStringLiteral("json")));
    if (action == QLatin1String("diff"))
        return diff(d, file);
    return set(d, file, *code);
}
