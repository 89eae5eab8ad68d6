#include "sim/simoptions.h"

#include "device/deviceinfo.h"
#include "link/rtuframing.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <limits>

namespace {

constexpr int kMaxTurnaroundMs = 10000;
constexpr int kMaxScale = 1000;
constexpr int kMaxRangeCounts = 6553; // ten times this must fit a register

const QStringList &valueOptions()
{
    static const QStringList names = {QStringLiteral("link"), QStringLiteral("device"),
                                      QStringLiteral("access-code"), QStringLiteral("turnaround"),
                                      QStringLiteral("tty"), QStringLiteral("config"), QStringLiteral("fault"),
                                      QStringLiteral("seed"), QStringLiteral("tcp"), QStringLiteral("modbus-tcp"),
                                      QStringLiteral("listen")};
    return names;
}

} // namespace


bool SimOptions::fail(const QString &text)
{
    error = text;
    return false;
}

bool SimOptions::parseNumber(const QString &text, int low, int high, int &out)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10); // a leading 0 is not octal here
    if (!ok || n < low || n > high)
        return false;
    out = n;
    return true;
}

bool SimOptions::parse(const QStringList &arguments)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            help = true;
            continue;
        }
        if (arg == QLatin1String("--version")) {
            version = true;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--")))
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(arg));
        QString key = arg.mid(2).section(QLatin1Char('='), 0, 0);
        QString value = arg.section(QLatin1Char('='), 1);
        if (!arg.contains(QLatin1Char('=')) && valueOptions().contains(key)) {
            if (++i >= arguments.size())
                return fail(QStringLiteral("--%1 needs a value").arg(key));
            value = arguments[i];
        }
        if (!apply(key, value))
            return false;
    }
    return true;
}

bool SimOptions::apply(const QString &key, const QString &value)
{
    if (key == QLatin1String("link"))
        linkPath = value;
    else if (key == QLatin1String("tty"))
        ttyPath = value;
    else if (key == QLatin1String("fault"))
        faults << value;
    else if (key == QLatin1String("listen"))
        listenAddress = value;
    else if (key == QLatin1String("config"))
        return readConfigFile(value);
    else if (key == QLatin1String("device"))
        return addDevice(value);
    else
        return applyNumber(key, value);
    return true;
}

bool SimOptions::applyNumber(const QString &key, const QString &value)
{
    int n = 0;
    if (key == QLatin1String("access-code") && parseNumber(value, 0, 65535, n))
        accessCode = quint16(n);
    else if (key == QLatin1String("turnaround") && parseNumber(value, 0, kMaxTurnaroundMs, n))
        turnaroundMs = n;
    else if (key == QLatin1String("seed") && parseNumber(value, 0, std::numeric_limits<int>::max(), n))
        seed = quint32(n);
    else if (key == QLatin1String("tcp") && parseNumber(value, 0, 65535, n))
        tcpPort = n;
    else if (key == QLatin1String("modbus-tcp") && parseNumber(value, 0, 65535, n))
        modbusTcpPort = n;
    else if (valueOptions().contains(key))
        return fail(QStringLiteral("bad value \"%1\" for %2").arg(value, key));
    else
        return fail(QStringLiteral("unknown option \"%1\"").arg(key));
    return true;
}

bool SimOptions::addDevice(const QString &text)
{
    SimDeviceConfig d;
    QString why;
    if (!parseDevice(text, d, why))
        return fail(why);
    devices << d;
    return true;
}

bool SimOptions::readConfigFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    if (configDepth > 0)
        return fail(QStringLiteral("%1: a configuration file cannot include another").arg(path));
    QTextStream in(&file);
    in.setCodec("UTF-8");
    ++configDepth;
    bool ok = true;
    for (int lineNo = 1; ok && !in.atEnd(); ++lineNo) {
        ok = applyLine(in.readLine());
        if (!ok)
            error = QStringLiteral("%1:%2: %3").arg(path).arg(lineNo).arg(error);
    }
    --configDepth;
    return ok;
}

bool SimOptions::applyLine(const QString &text)
{
    const QString line = text.section(QLatin1Char('#'), 0, 0).trimmed();
    if (line.isEmpty())
        return true;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return fail(QStringLiteral("expected key = value"));
    return apply(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
}

QVector<SimDeviceConfig> SimOptions::effectiveDevices() const
{
    return devices.isEmpty() ? QVector<SimDeviceConfig> {SimDeviceConfig()} : devices;
}

bool SimOptions::parseDevice(const QString &text, SimDeviceConfig &out, QString &why)
{
    out = SimDeviceConfig();
    const QStringList fields = text.split(QLatin1Char(':'));
    int position = 0;
    for (const QString &field : fields) {
        const bool ok = field.contains(QLatin1Char('=')) ? takeSetting(field, out)
                                                         : takeField(field, position++, out);
        if (!ok) {
            why = QStringLiteral("bad device \"%1\" at \"%2\"").arg(text, field);
            return false;
        }
    }
    if (position == 0)
        why = QStringLiteral("bad device \"%1\": no address").arg(text);
    return position > 0;
}

bool SimOptions::takeField(const QString &field, int position, SimDeviceConfig &out)
{
    int n = 0;
    switch (position) {
    case 0:
        return parseNumber(field, 1, RtuFraming::kMaxSlaveAddress, out.address);
    case 1:
        return parseNumber(field, 0, 65535, out.modification);
    case 2:
        out.frameFormat = DeviceInfo::formatCode(field.trimmed());
        return out.frameFormat >= 0;
    case 3:
        if (!parseNumber(field, 1, 1000000, n) || !std::count(std::begin(DeviceInfo::kSpeeds), std::end(DeviceInfo::kSpeeds), qint32(n)))
            return false;
        out.baudRate = quint32(n);
        return true;
    default:
        return false;
    }
}

bool SimOptions::takeSetting(const QString &field, SimDeviceConfig &out)
{
    const QString key = field.section(QLatin1Char('='), 0, 0).trimmed();
    const QString value = field.section(QLatin1Char('='), 1);
    int n = 0;
    if (key == QLatin1String("scale") && parseNumber(value, 1, kMaxScale, n))
        out.currentScale = quint16(n);
    else if (key == QLatin1String("range") && parseNumber(value, 1, kMaxRangeCounts, n))
        out.ratedMinCounts = quint16(n);
    else if (key == QLatin1String("formats") && value.trimmed() == QLatin1String("any"))
        out.anyFormat = true;
    else
        return false;
    return true;
}

QString SimOptions::usage()
{
    return QStringLiteral(
        "Usage: orbix-sim [options]\n"
        "Simulates motor protection devices (Modbus RTU slaves) on one serial line.\n"
        "Prints the path of the line to open as its first line of output, then serves\n"
        "until SIGINT or SIGTERM (Ctrl+C). Commands are read from standard input (type help).\n"
        "\n"
        "  --link PATH          also make PATH a symbolic link to the line (removed at exit)\n"
        "  --device D           a device; repeat for more. D is\n"
        "                       ADDRESS[:MODIFICATION[:FORMAT[:BAUD]]][:scale=N][:range=N][:formats=any]\n"
        "                       FORMAT 8E1, 8O1, 8N15, 8N2 or 0-3; BAUD 600 to 57600;\n"
        "                       scale: counts per ampere (2); range: lowest rated current\n"
        "                       in counts (10; the highest is ten times it); formats=any: hears\n"
        "                       every frame format (a converter that ignores parity)\n"
        "                       a device with the address and format of an earlier one replaces it\n"
        "                       default: one device 1:70:8E1:19200:scale=2:range=10\n"
        "  --access-code CODE   code that opens guarded writes (1234)\n"
        "  --turnaround MS      delay before a reply (5)\n"
        "  --tty PATH           serve a real serial port instead of a pseudo-terminal\n"
        "                       (on Windows, which has none, a COM port: --tty COM7;\n"
        "                       without it there the devices are on the network only)\n"
        "  --config FILE        read options from FILE\n"
        "  --fault F            start with a fault, as the command \"fault F\"\n"
        "  --seed N             seed of the measurement noise; same seed, same values (1)\n"
        "  --tcp PORT           also serve the devices as Modbus RTU over TCP (0: any free port)\n"
        "  --modbus-tcp PORT    also serve them as Modbus TCP (0: any free port)\n"
        "  --listen ADDRESS     the address the servers listen on (127.0.0.1)\n"
        "                       each server prints its address (tcp://... modbus-tcp://...)\n"
        "                       on a line of its own after the line's path\n"
        "  --help               this text\n"
        "  --version            the version\n"
        "\n"
        "Configuration file: one option a line as key = value, the keys being the long\n"
        "options without dashes; # starts a comment. For example:\n"
        "  device       = 1:70:8E1:19200\n"
        "  device       = 2:80:8O1:9600:scale=1:range=50\n"
        "  access-code  = 4321\n"
        "  link         = /tmp/orbix-line\n");
}
