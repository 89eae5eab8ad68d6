#include "linkoptions.h"

#include "deviceinfo.h"
#include "modbusport.h"
#include "portmap.h"
#include "registermap.h"

#include <QFileInfo>

namespace {
constexpr int kCliReadTimeoutMs = 1000; // one second: long enough for 600 bit/s replies
constexpr int kMaxReplyGapMs = 10000;
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
    addReplyGapTo(parser);
}

void LinkOptions::addReplyGapTo(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("reply-gap"),
                      QStringLiteral("Silence that ends a reply, in ms (default 250, as the device requires)."),
                      QStringLiteral("MS"), QString::number(ModbusPort::kInterByteGapMs)});
}

bool LinkOptions::readPortAndSpeed(const QCommandLineParser &parser, const QString &portArgument)
{
    portName = portArgument;
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
    bool ok = false;
    baud = parser.value(QStringLiteral("baud")).toUInt(&ok);
    if (!ok || baud == 0) {
        error = QStringLiteral("bad speed '%1'").arg(parser.value(QStringLiteral("baud")));
        return false;
    }
    replyGapMs = parser.value(QStringLiteral("reply-gap")).toInt(&ok);
    if (!ok || replyGapMs < 1 || replyGapMs > kMaxReplyGapMs) {
        error = QStringLiteral("bad --reply-gap '%1' (1-%2 ms)").arg(parser.value(QStringLiteral("reply-gap"))).arg(kMaxReplyGapMs);
        return false;
    }
    return true;
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

ProtocolTiming LinkOptions::timing() const
{
    ProtocolTiming t;
    t.replyGapMs = replyGapMs;
    return t;
}

bool LinkOptions::openPort(ModbusPort &port)
{
    if (!port.open()) {
        error = port.errorString();
        return false;
    }
    port.setSlaveAddress(quint8(address));
    port.setFrameFormat(frameFormat);
    if (!port.setSpeed(baud)) {
        error = QStringLiteral("speed %1 bit/s is not supported by this port").arg(baud);
        return false;
    }
    port.setReadTimeout(kCliReadTimeoutMs);
    port.setReplyGap(replyGapMs);
    return true;
}
