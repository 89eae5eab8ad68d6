#pragma once

#include "device/appprotocolevent.h"
#include "device/enginecommand.h"

// A motor command sent by the user, noted in the application protocol.
class AppProtocolEventEngine : public AppProtocolEvent
{
public:
    explicit AppProtocolEventEngine(EngineCommand command);
    QString text() const override;

    EngineCommand command() const { return engineCommand; }

private:
    EngineCommand engineCommand;
};
