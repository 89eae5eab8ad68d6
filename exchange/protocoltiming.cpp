#include "exchange/protocoltiming.h"

namespace {
constexpr qint32 kSlowLineBaud = 2400;
constexpr quint32 kFastLineBaud = 38400;
constexpr int kSlowLineTimeoutMs = 2450, kLineTimeoutMs = 1900;
constexpr int kSlowProbeMs = 800, kProbeMs = 400, kFastProbeMs = 300;
} // namespace

int ProtocolTiming::readTimeoutFor(qint32 baud)
{
    return baud < kSlowLineBaud ? kSlowLineTimeoutMs : kLineTimeoutMs;
}

int ProtocolTiming::probeTimeoutFor(quint32 baud)
{
    if (baud < quint32(kSlowLineBaud))
        return kSlowProbeMs;
    return baud < kFastLineBaud ? kProbeMs : kFastProbeMs;
}

void ProtocolTiming::applyTo(ModbusPort &port) const
{
    port.setFraming(framing);
    port.setReplyGap(replyGapMs);
    port.setExtraPause(extraPauseMs);
    port.setNetworkAllowance(networkAllowanceMs);
}
