#include "cli/linkoptions.h"

#include "cli/commandline.h"
#include "cli/deviceprobe.h"
#include "device/deviceinfo.h"
#include "device/registermap.h"
#include "link/line.h"
#include "link/linefactory.h"
#include "link/modbusport.h"
#include "link/tcpline.h"
#include "storage/portmap.h"

#include <QFileInfo>

#include <memory>

namespace {
constexpr int kMaxPauseMs = 10000;

// A network line's name that names no host and port is a typing error, told as one
// (bad usage) rather than as a line that could not be opened.
bool malformedNetworkName(const QString &name, QString &error)
{
    if (!Line::isNetworkName(name))
        return false;
    const std::unique_ptr<Line> line = LineFactory::create(name.toUtf8());
    const auto *tcp = dynamic_cast<const TcpLine *>(line.get());
    if (!tcp || tcp->port() != 0) // a line takes port 0 for a name it cannot read
        return false;
    error = line->openErrorText();
    return true;
}
} // namespace

void LinkOptions::addPortArgument(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("PORT"),
                                 QStringLiteral("COMn, a device path or a network line: modbus-tcp://HOST[:PORT],\n"
                                                "tcp://HOST:PORT (RTU over TCP), rfc2217://HOST:PORT."));
}

void LinkOptions::addTo(QCommandLineParser &parser)
{
    parser.addOption({{QStringLiteral("a"), QStringLiteral("address")},
                          QStringLiteral("Modbus slave address, 1-247."), QStringLiteral("A"),
                          QStringLiteral("1")});
    parser.addOption({{QStringLiteral("b"), QStringLiteral("baud")}, QStringLiteral("Line speed in bit/s."),
                      QStringLiteral("B"), QStringLiteral("19200")});
    parser.addOption({{QStringLiteral("f"), QStringLiteral("format")},
                      QStringLiteral("Frame format: 8E1, 8O1, 8N15 or 8N2."), QStringLiteral("F"),
                      QStringLiteral("8E1")});
    addLineTimingTo(parser);
}

void LinkOptions::addLineTimingTo(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("framing"),
                      QStringLiteral("How a reply ends: length (when complete, the default) or gap (after the reply gap "
                                     "of silence only, as the device documentation has it)."),
                      QStringLiteral("length|gap"), QStringLiteral("length")});
    parser.addOption({QStringLiteral("reply-gap"),
                      QStringLiteral("Silence that ends a reply that is not complete, in ms (default 250)."),
                      QStringLiteral("MS"), QString::number(ModbusPort::kInterByteGapMs)});
    parser.addOption({QStringLiteral("extra-pause"), QStringLiteral("Pause before each request, in ms (default 0)."),
                      QStringLiteral("MS"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("network-allowance"),
                      QStringLiteral("Added to the read time-outs on a network line, in ms (default 200); a "
                                     "connection may take it and a second."),
                      QStringLiteral("MS"), QStringLiteral("200")});
}

bool LinkOptions::readLineTiming(const QCommandLineParser &parser)
{
    const QString framing = parser.value(QStringLiteral("framing"));
    if (framing != QLatin1String("length") && framing != QLatin1String("gap")) {
        error = QStringLiteral("bad --framing '%1' (length or gap)").arg(framing);
        return false;
    }
    lineTiming.framing = framing == QLatin1String("gap") ? ModbusPort::Framing::Gap : ModbusPort::Framing::Length;
    bool ok = false;
    lineTiming.replyGapMs = parser.value(QStringLiteral("reply-gap")).toInt(&ok);
    if (!ok || lineTiming.replyGapMs < 1 || lineTiming.replyGapMs > kMaxPauseMs) {
        error = QStringLiteral("bad --reply-gap '%1' (1-%2 ms)").arg(parser.value(QStringLiteral("reply-gap"))).arg(kMaxPauseMs);
        return false;
    }
    lineTiming.extraPauseMs = parser.value(QStringLiteral("extra-pause")).toInt(&ok);
    if (!ok || lineTiming.extraPauseMs < 0 || lineTiming.extraPauseMs > kMaxPauseMs) {
        error = QStringLiteral("bad --extra-pause '%1' (0-%2 ms)").arg(parser.value(QStringLiteral("extra-pause"))).arg(kMaxPauseMs);
        return false;
    }
    lineTiming.networkAllowanceMs = parser.value(QStringLiteral("network-allowance")).toInt(&ok);
    if (!ok || lineTiming.networkAllowanceMs < 0 || lineTiming.networkAllowanceMs > kMaxPauseMs) {
        error = QStringLiteral("bad --network-allowance '%1' (0-%2 ms)")
                    .arg(parser.value(QStringLiteral("network-allowance"))).arg(kMaxPauseMs);
        return false;
    }
    return true;
}

bool LinkOptions::resolvePort(const QString &portArgument)
{
    const PortMap map = PortMap::system();
    devicePath = map.resolve(portArgument);
    if (devicePath.isEmpty()) {
        error = QStringLiteral("unknown port '%1' (see: orbix ports)").arg(portArgument);
        return false;
    }
    portNumber = PortMap::parseComName(portArgument);
    const QString canonical = QFileInfo(devicePath).canonicalFilePath();
    for (const PortMap::Port &p : map.ports())
        if (portNumber == 0 && !canonical.isEmpty() && QFileInfo(p.path).canonicalFilePath() == canonical)
            portNumber = p.number;
    options = portNumber > 0 ? map.lineOptions(portNumber) : LineOptions();
    return true;
}

bool LinkOptions::readPortAndSpeed(const QCommandLineParser &parser, const QString &portArgument)
{
    portName = portArgument;
    portNumber = 0;
    options = LineOptions();
    if (malformedNetworkName(portArgument, error))
        return false;
    // A network line is its own name: no COM number to look up, no bindings to read.
    if (Line::isNetworkName(portArgument))
        devicePath = portArgument;
    else if (!resolvePort(portArgument))
        return false;
    bool ok = false;
    baud = parser.value(QStringLiteral("baud")).toUInt(&ok);
    if (!ok || baud == 0) {
        error = QStringLiteral("bad speed '%1'").arg(parser.value(QStringLiteral("baud")));
        return false;
    }
    return readLineTiming(parser);
}

bool LinkOptions::read(const QCommandLineParser &parser, const QString &portArgument)
{
    if (!readPortAndSpeed(parser, portArgument))
        return false;
    bool ok = false;
    address = parser.value(QStringLiteral("address")).toInt(&ok);
    if (!ok || address < 1 || address > ModbusPort::kMaxSlaveAddress) {
        error = QStringLiteral("address must be 1-247");
        return false;
    }
    frameFormat = DeviceInfo::formatCode(parser.value(QStringLiteral("format")));
    if (frameFormat < 0) {
        error = QStringLiteral("bad frame format '%1' (8E1, 8O1, 8N15, 8N2)")
                    .arg(parser.value(QStringLiteral("format")));
        return false;
    }
    return true;
}

int LinkOptions::take(const QCommandLineParser &parser, const QString &portArgument, Scope scope)
{
    const bool ok = scope == Scope::Device ? read(parser, portArgument) : readPortAndSpeed(parser, portArgument);
    return ok ? -1 : CommandLine::usage(parser, error);
}

int LinkOptions::ensurePort()
{
    return checkPort() ? -1 : CommandLine::failed(error);
}

int LinkOptions::identify(DeviceInfo &found)
{
    QString reason;
    return DeviceProbe::identify(*this, found, reason) ? -1 : CommandLine::failed(reason);
}

bool LinkOptions::checkPort()
{
    ModbusPort port(devicePath.toLocal8Bit());
    port.setLineOptions(options);
    port.setNetworkAllowance(lineTiming.networkAllowanceMs);
    if (port.open())
        return true;
    error = port.errorString();
    return false;
}

std::unique_ptr<DeviceSession> LinkOptions::session() const
{
    auto s = std::make_unique<DeviceSession>(devicePath);
    s->setLineOptions(options);
    s->setTiming(lineTiming); // the read time-out by the speed, as the data exchange has it
    s->setDevice(address, qint32(baud), frameFormat);
    return s;
}

std::unique_ptr<DeviceSession> LinkOptions::openSession()
{
    std::unique_ptr<DeviceSession> s = session();
    if (s->open())
        return s;
    error = s->errorString();
    return nullptr;
}

std::unique_ptr<DeviceSession> LinkOptions::connect(DeviceInfo &found, int identifyTimeoutMs)
{
    silent = false;
    std::unique_ptr<DeviceSession> s = openSession();
    if (!s)
        return nullptr;
    const DeviceSession::Identity identity = s->identifyAny(found, identifyTimeoutMs);
    if (identity != DeviceSession::Identity::Matches) {
        error = s->identityText(identity);
        silent = identity == DeviceSession::Identity::Unreadable && s->port().failure() == ModbusPort::Failure::NoAnswer
            && !s->port().replyCut();
        return nullptr;
    }
    found.portNumber = portNumber;
    return s;
}
