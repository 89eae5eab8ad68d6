#include "tests/sim/testmaster.h"

std::unique_ptr<ModbusPort> TestMaster::open(const QString &path, quint8 address, quint32 baud, int format,
                                             int timeoutMs, int replyGapMs)
{
    auto port = std::make_unique<ModbusPort>(path.toLocal8Bit());
    if (!port->open())
        return nullptr;
    port->setSlaveAddress(address);
    port->setFrameFormat(format);
    port->setSpeed(baud);
    port->setReadTimeout(timeoutMs);
    port->setReplyGap(replyGapMs);
    return port;
}
