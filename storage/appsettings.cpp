#include "storage/appsettings.h"

#include "device/deviceinfo.h"
#include "storage/datadirectory.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>

#include <iterator>

namespace {
constexpr qint64 kLinkFileLimit = 4096; // a few lines; more is no file of ours
// The words of language.conf, indexed by AppSettings::Language.
const char *const kLanguageWords[] = {"system", "ru", "en"};
static_assert(std::size(kLanguageWords) == size_t(AppSettings::Language::English) + 1, "a word for every language");

// "key=value" lines of a small text file of ours; nothing for a missing file.
QList<QPair<QByteArray, QByteArray>> keyValues(const QString &path)
{
    QList<QPair<QByteArray, QByteArray>> pairs;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return pairs;
    for (const QByteArray &line : file.read(kLinkFileLimit).split('\n')) {
        const int eq = line.indexOf('=');
        pairs.append({line.left(eq).trimmed(), eq < 0 ? QByteArray() : line.mid(eq + 1).trimmed()});
    }
    return pairs;
}
} // namespace

AppSettings &AppSettings::instance()
{
    static AppSettings settings;
    return settings;
}

QString AppSettings::defaultPath()
{
    return DataDirectory::filePath(QLatin1String(kFileName));
}

void AppSettings::load()
{
    load(defaultPath());
    loadLink(DataDirectory::filePath(QLatin1String(kLinkFileName)));
    loadHistory(DataDirectory::filePath(QLatin1String(kHistoryFileName)));
    loadLanguage(DataDirectory::filePath(QLatin1String(kLanguageFileName)));
}

void AppSettings::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *this = AppSettings();
        lastReportDir = QDir::currentPath();
        return;
    }
    QDataStream in(&file);
    in.setByteOrder(QDataStream::BigEndian);
    QString dir;
    bool connect = false;
    qint32 ints[4] = {0, 0, 0, 0};
    in >> dir >> connect;
    for (qint32 &v : ints)
        in >> v; // past the end of a short file QDataStream yields 0
    lastReportDir = dir;
    autoConnect = connect;
    currentAxisScale = ints[0];
    plotInterval = ints[1];
    lastSpeedIndex = ints[2];
    lastPortNumber = ints[3];
    clamp();
}

void AppSettings::clamp()
{
    // Every value other than 1 draws a linear axis; the dialog then shows "Линейный".
    if (currentAxisScale != kLogarithmicAxis)
        currentAxisScale = kLinearAxis;
    plotInterval = qBound(0, plotInterval, kMaxPlotInterval);
    lastSpeedIndex = qBound(0, lastSpeedIndex, DeviceInfo::kSpeedCount - 1);
    lastPortNumber = qMax(0, lastPortNumber);
}

bool AppSettings::save() const
{
    const bool link = saveLink(DataDirectory::writableFilePath(QLatin1String(kLinkFileName)));
    const bool lang = saveLanguage(DataDirectory::writableFilePath(QLatin1String(kLanguageFileName)));
    const bool history = saveHistory(DataDirectory::writableFilePath(QLatin1String(kHistoryFileName)));
    return save(DataDirectory::writableFilePath(QLatin1String(kFileName))) && link && lang && history;
}

bool AppSettings::save(const QString &path) const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out << lastReportDir << autoConnect << currentAxisScale << plotInterval << lastSpeedIndex << lastPortNumber;
    return out.status() == QDataStream::Ok && DataDirectory::writeFile(path, bytes);
}

void AppSettings::loadLink(const QString &path)
{
    replyFraming = Framing::Length;
    extraPauseMs = 0;
    networkAllowanceMs = kDefaultNetworkAllowanceMs;
    for (const auto &[key, value] : keyValues(path)) {
        if (key == "framing" && (value == "length" || value == "gap"))
            replyFraming = value == "gap" ? Framing::Gap : Framing::Length;
        bool ok = false;
        const int pause = value.toInt(&ok);
        if (key == "extra-pause" && ok)
            extraPauseMs = qBound(0, pause, kMaxExtraPauseMs);
        if (key == "network-allowance" && ok)
            networkAllowanceMs = qBound(0, pause, kMaxNetworkAllowanceMs);
    }
}

bool AppSettings::saveLink(const QString &path) const
{
    const QByteArray text = "# how replies on the line end: length or gap (250 ms of silence)\nframing="
        + QByteArray(replyFraming == Framing::Gap ? "gap" : "length") + "\nextra-pause=" + QByteArray::number(extraPauseMs)
        + "\n# added to the read time-outs on network lines, ms\nnetwork-allowance=" + QByteArray::number(networkAllowanceMs)
        + '\n';
    return DataDirectory::writeFile(path, text);
}

void AppSettings::loadHistory(const QString &path)
{
    historyFullDays = kDefaultHistoryFullDays;
    historyMinuteDays = kDefaultHistoryMinuteDays;
    for (const auto &[key, value] : keyValues(path)) {
        bool ok = false;
        const int days = value.toInt(&ok);
        if (key == "full-days" && ok)
            historyFullDays = qBound(1, days, kMaxHistoryDays);
        if (key == "minute-days" && ok)
            historyMinuteDays = qBound(1, days, kMaxHistoryDays);
    }
    historyMinuteDays = qMax(historyMinuteDays, historyFullDays);
}

bool AppSettings::saveHistory(const QString &path) const
{
    const QByteArray text = "# history: days at full resolution, then days as one row a minute (from now)\nfull-days="
        + QByteArray::number(historyFullDays) + "\nminute-days=" + QByteArray::number(historyMinuteDays) + '\n';
    return DataDirectory::writeFile(path, text);
}

void AppSettings::loadLanguage(const QString &path)
{
    language = Language::System;
    for (const auto &[key, value] : keyValues(path))
        for (int i = 0; key == "language" && i < int(std::size(kLanguageWords)); ++i)
            if (value.toLower() == kLanguageWords[i])
                language = Language(i);
}

bool AppSettings::saveLanguage(const QString &path) const
{
    const int stored = int(language);
    const int i = stored >= 0 && stored < int(std::size(kLanguageWords)) ? stored : int(Language::System);
    return DataDirectory::writeFile(path, "# the interface's language from the next start: system, ru or en\nlanguage="
                                              + QByteArray(kLanguageWords[i]) + '\n');
}
