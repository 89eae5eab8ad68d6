#include "storage/settingsfile.h"

#include "device/configfields.h"
#include "device/configpacket.h"
#include "storage/datadirectory.h"
#include "storage/filetext.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char *kContext = "SettingsFile";
const FileText kNotInteger = QT_TRANSLATE_NOOP3("SettingsFile", "поле %1: значение не целое число",
                                                "field %1: the value is not an integer");
const FileText kDamaged = QT_TRANSLATE_NOOP3("SettingsFile", "файл повреждён: %1 (байт %2)",
                                             "damaged file: %1 (byte %2)");
const FileText kNoObject = QT_TRANSLATE_NOOP3("SettingsFile", "файл повреждён: нет объекта JSON",
                                              "damaged file: no JSON object");
const FileText kNotSettings = QT_TRANSLATE_NOOP3("SettingsFile", "это не файл настроек (\"format\" не \"%1\")",
                                                 "not a settings file (\"format\" is not \"%1\")");
const FileText kUnknownVersion = QT_TRANSLATE_NOOP3("SettingsFile", "неизвестная версия файла настроек",
                                                    "unknown settings file version");
const FileText kNoFields = QT_TRANSLATE_NOOP3("SettingsFile", "файл повреждён: нет \"modification\" или \"fields\"",
                                              "damaged file: no \"modification\" or \"fields\"");
const FileText kNotWritten = QT_TRANSLATE_NOOP3("SettingsFile", "не удалось записать файл %1",
                                                "could not write the file %1");
const FileText kNotOpened = QT_TRANSLATE_NOOP3("SettingsFile", "не удалось открыть файл %1: %2",
                                               "could not open the file %1: %2");
const FileText kUnknownField = QT_TRANSLATE_NOOP3("SettingsFile", "неизвестное поле %1", "unknown field %1");
// %2: the field's label in brackets, for the window only (the command line names fields by name).
const FileText kOutOfRange = QT_TRANSLATE_NOOP3("SettingsFile", "поле %1%2: значение %3 вне допустимого (%4..%5%6)",
                                                "field %1%2: value %3 out of range (%4..%5%6)");
const FileText kLabel = QT_TRANSLATE_NOOP3("SettingsFile", " («%1»)", " (“%1”)");
const FileText kMultiple = QT_TRANSLATE_NOOP3("SettingsFile", ", кратно %1", ", a multiple of %1");

const char *const kDeviceKeys[] = {"kind", "address", "baudRate", "frameFormat", "portNumber",
                                   "modification", "currentScale"};

QJsonObject deviceJson(const DeviceInfo &d)
{
    const qint32 values[] = {d.kind, d.address, d.baudRate, d.frameFormat, d.portNumber, d.modification,
                             d.currentScale};
    QJsonObject o;
    for (size_t i = 0; i < std::size(values); ++i)
        o.insert(QLatin1String(kDeviceKeys[i]), values[i]);
    o.insert(QStringLiteral("minRatedCurrent"), double(d.minRatedCurrent));
    o.insert(QStringLiteral("maxRatedCurrent"), double(d.maxRatedCurrent));
    return o;
}

DeviceInfo deviceFrom(const QJsonObject &o)
{
    DeviceInfo d;
    qint32 *values[] = {&d.kind, &d.address, &d.baudRate, &d.frameFormat, &d.portNumber, &d.modification,
                        &d.currentScale};
    for (size_t i = 0; i < std::size(values); ++i)
        *values[i] = o.value(QLatin1String(kDeviceKeys[i])).toInt();
    d.minRatedCurrent = float(o.value(QStringLiteral("minRatedCurrent")).toDouble());
    d.maxRatedCurrent = float(o.value(QStringLiteral("maxRatedCurrent")).toDouble());
    return d;
}

bool isInteger(const QJsonValue &v)
{
    return v.isDouble() && std::floor(v.toDouble()) == v.toDouble() && std::fabs(v.toDouble()) < 1e9;
}

bool readFields(const QJsonObject &o, QMap<QString, int> &fields, QString &error)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!isInteger(it.value())) {
            error = kNotInteger.text(kContext).arg(it.key());
            return false;
        }
        fields.insert(it.key(), it.value().toInt());
    }
    return true;
}

// A number of a range as the setup tab shows the field (amperes, seconds, with the unit);
// a flag's or a choice's word stays a number, as their ranges are counts of entries.
QString shownInRange(ConfigFields::Id id, int word, int currentScale)
{
    const ConfigFields::Kind kind = ConfigFields::kind(id);
    if (kind == ConfigFields::Kind::Flag || kind == ConfigFields::Kind::Choice)
        return QString::number(word);
    return ConfigFields::shown(id, word, currentScale);
}

} // namespace

SettingsFile SettingsFile::fromBlock(const ConfigPacket &block, const DeviceInfo &device, const QDateTime &saved)
{
    SettingsFile f;
    f.device = device;
    f.modification = device.modification;
    f.saved = saved;
    for (ConfigFields::Id id : ConfigFields::fieldsOf(block.version()))
        f.fields.insert(ConfigFields::name(id), ConfigFields::value(block, id));
    return f;
}

QByteArray SettingsFile::toJson() const
{
    QJsonObject fieldsJson;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        fieldsJson.insert(it.key(), it.value());
    QJsonObject o;
    o.insert(QStringLiteral("format"), QLatin1String(kFormat));
    o.insert(QStringLiteral("version"), kVersion);
    o.insert(QStringLiteral("device"), deviceJson(device));
    o.insert(QStringLiteral("modification"), modification);
    o.insert(QStringLiteral("saved"), saved.toOffsetFromUtc(saved.offsetFromUtc()).toString(Qt::ISODate));
    o.insert(QStringLiteral("fields"), fieldsJson);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool SettingsFile::fromJson(const QByteArray &bytes, SettingsFile &out, QString &error)
{
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (!doc.isObject()) {
        error = parse.error != QJsonParseError::NoError
            ? kDamaged.text(kContext).arg(parse.errorString()).arg(parse.offset)
            : kNoObject.text(kContext);
        return false;
    }
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String(kFormat)) {
        error = kNotSettings.text(kContext).arg(QLatin1String(kFormat));
        return false;
    }
    if (o.value(QStringLiteral("version")).toInt() != kVersion) {
        error = kUnknownVersion.text(kContext);
        return false;
    }
    if (!isInteger(o.value(QStringLiteral("modification"))) || !o.value(QStringLiteral("fields")).isObject()) {
        error = kNoFields.text(kContext);
        return false;
    }
    SettingsFile f;
    f.device = deviceFrom(o.value(QStringLiteral("device")).toObject());
    f.modification = o.value(QStringLiteral("modification")).toInt();
    f.saved = QDateTime::fromString(o.value(QStringLiteral("saved")).toString(), Qt::ISODate);
    if (!readFields(o.value(QStringLiteral("fields")).toObject(), f.fields, error))
        return false;
    out = f;
    return true;
}

bool SettingsFile::save(const QString &path, QString &error) const
{
    if (DataDirectory::writeFile(path, toJson()))
        return true;
    error = kNotWritten.text(kContext).arg(path);
    return false;
}

bool SettingsFile::load(const QString &path, SettingsFile &out, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = kNotOpened.text(kContext).arg(path, file.errorString());
        return false;
    }
    return fromJson(file.readAll(), out, error);
}

bool SettingsFile::applyTo(ConfigPacket &block, const DeviceInfo &target, Applied &applied, QString &error) const
{
    Applied result;
    QMap<ConfigFields::Id, int> accepted;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const int found = ConfigFields::find(it.key());
        if (found < 0) {
            error = kUnknownField.text(kContext).arg(it.key());
            return false;
        }
        const auto id = ConfigFields::Id(found);
        if (!ConfigFields::present(id, block.version())) {
            result.leftOut << it.key();
            continue;
        }
        const ConfigFields::Range range = ConfigFields::range(id, target);
        if (!range.contains(it.value())) {
            const QString label = FileText::isEnglish() ? QString() : kLabel.text(kContext).arg(ConfigFields::label(id));
            const auto shown = [&](int word) { return shownInRange(id, word, target.currentScale); };
            error = kOutOfRange.text(kContext)
                        .arg(it.key(), label, shown(it.value()), shown(range.low), shown(range.high),
                             range.step > 1 ? kMultiple.text(kContext).arg(shown(range.step)) : QString());
            return false;
        }
        accepted.insert(id, it.value());
    }
    // Names in register order, as the device lists them.
    std::sort(result.leftOut.begin(), result.leftOut.end(), [](const QString &a, const QString &b) {
        return ConfigFields::find(a) < ConfigFields::find(b);
    });
    for (ConfigFields::Id id : ConfigFields::fieldsOf(block.version()))
        if (!accepted.contains(id))
            result.notInFile << ConfigFields::name(id);
    for (auto it = accepted.begin(); it != accepted.end(); ++it)
        ConfigFields::setValue(block, it.key(), it.value());
    applied = result;
    return true;
}
