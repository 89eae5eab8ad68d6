#pragma once

// How a port is driven beyond speed and frame format, set per port (ports.conf).
struct LineOptions
{
    // The kernel's RS-485 mode: the driver raises RTS while it sends, with these
    // delays before and after (on-board UARTs whose driver supports it).
    bool rs485 = false;
    int rs485DelayBeforeMs = 0;
    int rs485DelayAfterMs = 0;

    bool operator==(const LineOptions &o) const
    {
        return rs485 == o.rs485 && rs485DelayBeforeMs == o.rs485DelayBeforeMs
            && rs485DelayAfterMs == o.rs485DelayAfterMs;
    }
};
