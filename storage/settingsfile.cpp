#include "settingsfile.h"

#include "configfields.h"
#include "configpacket.h"
#include "datadirectory.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace {

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
            error = SettingsFile::tr("поле %1: значение не целое число").arg(it.key());
            return false;
        }
        fields.insert(it.key(), it.value().toInt());
    }
    return true;
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
            ? tr("файл повреждён: %1 (байт %2)").arg(parse.errorString()).arg(parse.offset)
            : tr("файл повреждён: нет объекта JSON");
        return false;
    }
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != QLatin1String(kFormat)) {
        error = tr("это не файл настроек (\"format\" не \"%1\")").arg(QLatin1String(kFormat));
        return false;
    }
    if (o.value(QStringLiteral("version")).toInt() != kVersion) {
        error = tr("неизвестная версия файла настроек");
        return false;
    }
    if (!isInteger(o.value(QStringLiteral("modification"))) || !o.value(QStringLiteral("fields")).isObject()) {
        error = tr("файл повреждён: нет \"modification\" или \"fields\"");
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
    error = tr("не удалось записать файл %1").arg(path);
    return false;
}

bool SettingsFile::load(const QString &path, SettingsFile &out, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = tr("не удалось открыть файл %1: %2").arg(path, file.errorString());
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
            error = tr("неизвестное поле %1").arg(it.key());
            return false;
        }
        const auto id = ConfigFields::Id(found);
        if (!ConfigFields::present(id, block.version())) {
            result.leftOut << it.key();
            continue;
        }
        const ConfigFields::Range range = ConfigFields::range(id, target);
        if (!range.contains(it.value())) {
            error = tr("поле %1 («%2»): значение %3 вне допустимого (%4..%5%6)")
                        .arg(it.key(), ConfigFields::label(id)).arg(it.value()).arg(range.low).arg(range.high)
                        .arg(range.step > 1 ? tr(", кратно %1").arg(range.step) : QString());
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
