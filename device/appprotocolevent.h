#pragma once

#include "device/protocolevent.h"

// The program's own protocol entry, stamped with the current local time.
class AppProtocolEvent : public ProtocolEvent
{
public:
    enum Code { Connected = 0, LinkLost = 1, LinkRestored = 2, EngineCommandSent = 3, ConfigWritten = 4 };

    explicit AppProtocolEvent(int code);
    QString text() const override;
    // The text of an entry of this code, as the protocol and the history show it.
    static QString textOf(int code);

    int code() const { return entryCode; }

private:
    int entryCode;
};
