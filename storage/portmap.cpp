#include "storage/portmap.h"

#include "link/line.h"
#include "storage/datadirectory.h"
#include "storage/storagelog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#ifdef Q_OS_WIN
#include "storage/win32portlist.h"
#else
#include <QSerialPortInfo>
#endif

#include <algorithm>

namespace {

const QString kPortsFile = QLatin1String(PortMap::kBindingFile);

#ifndef Q_OS_WIN
QString describe(const QSerialPortInfo &info)
{
    QStringList parts;
    if (!info.description().isEmpty())
        parts << info.description();
    if (!info.manufacturer().isEmpty() && info.manufacturer() != info.description())
        parts << info.manufacturer();
    if (!info.serialNumber().isEmpty())
        parts << QStringLiteral("s/n ") + info.serialNumber();
    return parts.join(QStringLiteral(", "));
}
#endif

// The bindings file's text; false (with a warning) for a file too large to be one,
// which is then neither read nor written over.
bool readBindingFile(const QString &path, QString &text)
{
    text.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return true; // a missing file binds nothing
    if (f.size() > PortMap::kMaxBindingFileBytes) {
        qCWarning(lcStorage).noquote() << path << "is larger than" << PortMap::kMaxBindingFileBytes
                                       << "bytes, more than any list of COM bindings: not read";
        return false;
    }
    text = QString::fromUtf8(f.read(PortMap::kMaxBindingFileBytes));
    return true;
}

QMap<int, QString> &sessionMap()
{
    static QMap<int, QString> bindings;
    return bindings;
}

} // namespace

int PortMap::parseComName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(?:COM)?(\\d+)\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(name);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const int n = m.captured(1).toInt(&ok);
    return ok && n > 0 ? n : 0;
}

QMap<int, QString> PortMap::parseBindings(const QString &text, QChar sep)
{
    QMap<int, QString> out;
    for (QString item : text.split(sep)) {
        // A comment runs from a '#' that begins a word to the end of the item, across
        // any line break inside it (a ';'-separated variable may hold one).
        static const QRegularExpression comment(QStringLiteral("(?:^|\\s)#.*"),
                                                QRegularExpression::DotMatchesEverythingOption);
        item = item.remove(comment).trimmed();
        if (item.isEmpty())
            continue;
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const int n = parseComName(item.left(eq));
        const QString target = item.mid(eq + 1).trimmed();
        if (n > 0 && !target.isEmpty())
            out.insert(n, target);
    }
    return out;
}

void PortMap::bindForSession(int number, const QString &path)
{
    sessionMap().insert(number, path);
}

PortMap PortMap::system()
{
#ifdef Q_OS_WIN
    const QList<Candidate> present = Win32PortList::present();
    const QString root;
#else
    QList<Candidate> present;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        present.append({info.portName(), info.systemLocation(), describe(info)});
    const QString root = QStringLiteral("/dev");
#endif
    return PortMap(DataDirectory::filePath(kPortsFile), qEnvironmentVariable(kEnvironmentVariable), root, present,
                   sessionMap(), DataDirectory::writableFilePath(kPortsFile), kSystemNaming);
}

PortMap::PortMap(const QString &bindingFile, const QString &environmentBindings, const QString &root,
                 const QList<Candidate> &presentPorts, const QMap<int, QString> &session,
                 const QString &bindingSaveFile, Naming rules)
    : saveFile(bindingSaveFile.isEmpty() ? bindingFile : bindingSaveFile)
    , devRoot(root)
    , naming(rules)
    , sessionBindings(session)
    , envBindings(parseBindings(environmentBindings, QLatin1Char(';')))
    , present(presentPorts)
{
    QString text;
    fileReadable = readBindingFile(bindingFile, text);
    fileBindings = parseBindings(text, QLatin1Char('\n'));
    assignNumbers();
}

QString PortMap::fixedPath(int n) const
{
    if (naming == Naming::Windows)
        return n > 0 ? QLatin1String(kWindowsDevicePrefix) + QStringLiteral("COM") + QString::number(n) : QString();
    if (n >= kFirstSerial && n < kFirstSerial + kSerialCount)
        return devRoot + QStringLiteral("/ttyS") + QString::number(n - kFirstSerial);
    if (n >= kFirstAma && n < kFirstAma + kAmaCount)
        return devRoot + QStringLiteral("/ttyAMA") + QString::number(n - kFirstAma);
    return QString();
}

int PortMap::fixedNumber(const QString &systemName) const
{
    if (naming == Naming::Windows) {
        static const QRegularExpression com(QStringLiteral("^COM[0-9]+$"), QRegularExpression::CaseInsensitiveOption);
        return com.match(systemName).hasMatch() ? parseComName(systemName) : 0;
    }
    static const QRegularExpression re(QStringLiteral("^tty(S|AMA)(\\d+)$"));
    const auto m = re.match(systemName);
    if (!m.hasMatch())
        return 0;
    const int k = m.captured(2).toInt();
    if (m.captured(1) == QLatin1String("S"))
        return k < kSerialCount ? kFirstSerial + k : 0;
    return k < kAmaCount ? kFirstAma + k : 0;
}

// The name of a device that does not change when it is plugged in again.
QString PortMap::stableName(const QString &path) const
{
    const QString target = QFileInfo(path).canonicalFilePath();
    for (const char *dir : {"/serial/by-id", "/serial/by-path"}) {
        QDir d(devRoot + QLatin1String(dir));
        QStringList names = d.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &name : names) {
            const QString link = d.filePath(name);
            if (!target.isEmpty() && QFileInfo(link).canonicalFilePath() == target)
                return link;
        }
    }
    return path;
}

bool PortMap::isBoundAbove(int number) const
{
    return sessionBindings.contains(number) || envBindings.contains(number);
}

void PortMap::assignNumbers()
{
    if (naming == Naming::Windows)
        return; // the system's numbers are the ports' own names
    // Bound targets are compared by what they point at, so a binding to a by-id link
    // claims the ttyUSBn it currently resolves to.
    QMap<QString, int> boundTarget;
    for (auto it = fileBindings.cbegin(); it != fileBindings.cend(); ++it)
    {
        QString path;
        LineOptions options;
        parseTarget(it.value(), path, options);
        boundTarget.insert(QFileInfo(path).canonicalFilePath(), it.key());
    }

    QList<Candidate> sorted = present;
    std::sort(sorted.begin(), sorted.end(),
              [this](const Candidate &a, const Candidate &b) { return stableName(a.path) < stableName(b.path); });
    bool added = false;
    for (const Candidate &c : sorted) {
        if (fixedNumber(c.systemName) > 0)
            continue;
        const QString canonical = QFileInfo(c.path).canonicalFilePath();
        int n = boundTarget.value(canonical.isEmpty() ? c.path : canonical, 0);
        if (n == 0) {
            n = kFirstAssigned;
            while (fileBindings.contains(n) || isBoundAbove(n))
                ++n;
            fileBindings.insert(n, stableName(c.path));
            added = true;
        }
        assigned.insert(c.systemName, n);
    }
    // Only a new adapter changes the file; a read-only data directory still gives
    // the same numbers for the same set of adapters.
    if (added && !saveFile.isEmpty() && fileReadable)
        saveBindings();
}

// Remembers the adapters so that they keep their numbers.
namespace {

QByteArray bindingFileText(const QMap<int, QString> &bindings)
{
    QByteArray text("# COM numbers of serial adapters and network lines; edit to bind any COMn to any path\n");
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it)
        text += "COM" + QByteArray::number(it.key()) + '=' + it.value().toUtf8() + '\n';
    return text;
}

} // namespace

void PortMap::saveBindings() const
{
    if (!DataDirectory::writeFile(saveFile, bindingFileText(fileBindings)))
        qCWarning(lcStorage) << "cannot save" << saveFile;
}

bool PortMap::saveBinding(int number, const QString &target)
{
    QString text;
    if (!readBindingFile(DataDirectory::filePath(kPortsFile), text))
        return false; // its bindings would be lost
    QMap<int, QString> bindings = parseBindings(text, QLatin1Char('\n'));
    bindings.insert(number, target);
    return DataDirectory::writeFile(DataDirectory::writableFilePath(kPortsFile), bindingFileText(bindings));
}

QString PortMap::binding(int number) const
{
    for (const QMap<int, QString> *bindings : {&sessionBindings, &envBindings, &fileBindings})
        if (bindings->contains(number))
            return bindings->value(number);
    return QString();
}

QString PortMap::devicePath(int number) const
{
    const QString value = binding(number);
    if (value.isEmpty())
        return fixedPath(number);
    QString path;
    LineOptions options;
    parseTarget(value, path, options);
    return path;
}

LineOptions PortMap::lineOptions(int number) const
{
    QString path;
    LineOptions options;
    parseTarget(binding(number), path, options);
    return options;
}

bool PortMap::parseTarget(const QString &value, QString &path, LineOptions &options)
{
    static const QRegularExpression rs485(QStringLiteral("^rs485(?:=(\\d+)/(\\d+))?$"));
    const QStringList words = value.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    path = words.value(0);
    options = LineOptions();
    bool known = true;
    for (int i = 1; i < words.size(); ++i) {
        const auto m = rs485.match(words[i]);
        if (!m.hasMatch()) {
            qCWarning(lcStorage) << "unknown option of" << path << ":" << words[i];
            known = false;
            continue;
        }
        options.rs485 = true;
        options.rs485DelayBeforeMs = m.captured(1).toInt();
        options.rs485DelayAfterMs = m.captured(2).toInt();
    }
    return known;
}

QList<PortMap::Port> PortMap::ports() const
{
    QMap<int, Port> out;
    for (const Candidate &c : present) {
        const int fixed = fixedNumber(c.systemName);
        const int n = fixed > 0 ? fixed : assigned.value(c.systemName, 0);
        if (n > 0 && !isBoundAbove(n))
            out.insert(n, Port {n, devicePath(n), c.systemName, c.description, Binding::System, lineOptions(n)});
    }
    auto addBound = [this, &out](const QMap<int, QString> &bindings, Binding how) {
        for (auto it = bindings.cbegin(); it != bindings.cend(); ++it) {
            QString path;
            LineOptions options;
            parseTarget(it.value(), path, options);
            const bool network = Line::isNetworkName(path);
            if (out.contains(it.key()) || (!network && !boundTargetPresent(path)))
                continue;
            out.insert(it.key(), Port {it.key(), path, network ? path : boundSystemName(path), QString(), how, options});
        }
    };
    addBound(sessionBindings, Binding::Session);
    addBound(envBindings, Binding::Environment);
    addBound(fileBindings, Binding::File);
    return out.values();
}

bool PortMap::boundTargetPresent(const QString &path) const
{
    // Windows has no file for a port (\\.\COM3): it is there when the system lists it.
    if (naming == Naming::Windows)
        for (const Candidate &c : present)
            if (c.path.compare(path, Qt::CaseInsensitive) == 0)
                return true;
    return QFileInfo::exists(path);
}

// A bound device by the name the system gives it: as under /dev ("pts/3", "ttyUSB0")
// so that a pty is not just a number; COM3 for \\.\COM3.
QString PortMap::boundSystemName(const QString &path) const
{
    if (naming == Naming::Windows)
        return QFileInfo(QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName();
    const QString sys = QFileInfo(path).canonicalFilePath();
    return sys.startsWith(QLatin1String("/dev/")) ? sys.mid(5) : QFileInfo(sys).fileName();
}

QString PortMap::resolve(const QString &name) const
{
    const int n = parseComName(name);
    if (n > 0)
        return devicePath(n);
    const bool path = name.contains(QLatin1Char('/')) || (naming == Naming::Windows && name.contains(QLatin1Char('\\')));
    return path ? name : QString();
}
