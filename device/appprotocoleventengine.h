#pragma once

#include "appprotocolevent.h"

// A motor command sent by the user, noted in the application protocol.
class AppProtocolEventEngine : public AppProtocolEvent
{
public:
    // The motor command codes written to the device.
    enum Command { Stop = 0, Forward = 1, Backward = 2 };

    explicit AppProtocolEventEngine(int command);
    QString text() const override;

    int command() const { return engineCommand; }

private:
    int engineCommand;
};
