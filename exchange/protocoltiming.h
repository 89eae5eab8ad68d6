#pragma once

#include "link/modbusport.h"

#include <QtGlobal>

// The timing of the exchange with a device, in one place so that the settings,
// tools and tests can change it. The defaults are the protocol's own, with replies
// ended by their length (the gap framing is the device documentation's own).
struct ProtocolTiming
{
    ModbusPort::Framing framing = ModbusPort::Framing::Length;
    int extraPauseMs = 0; // before each request, for slow devices
    int networkAllowanceMs = 200; // added to the read time-outs of a network line
    static constexpr int kCyclePeriodMs = 1000;  // the data exchange polls once a second

    int replyGapMs = ModbusPort::kInterByteGapMs; // silence that ends a reply
    int cyclePeriodMs = kCyclePeriodMs;
    int readTimeoutMs = 0;  // data exchange read time-out; 0: by speed (readTimeoutFor)
    int probeTimeoutMs = 0; // search probe time-out; 0: by speed (probeTimeoutFor)

    // Data exchange: 2450 ms below 2400 bit/s, else 1900 ms.
    static int readTimeoutFor(qint32 baud);
    // Search probe: 800 ms below 2400 bit/s, 400 ms below 38400, else 300 ms.
    static int probeTimeoutFor(quint32 baud);

    int readTimeout(qint32 baud) const { return readTimeoutMs > 0 ? readTimeoutMs : readTimeoutFor(baud); }
    int probeTimeout(quint32 baud) const { return probeTimeoutMs > 0 ? probeTimeoutMs : probeTimeoutFor(baud); }
    // Sets a port's framing, reply gap and extra pause.
    void applyTo(ModbusPort &port) const;
};
