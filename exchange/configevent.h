#pragma once

#include "exchange/dataevent.h"

#include <memory>

class ConfigPacket;

// Type 6: the configuration read, written, or not written.
class ConfigEvent : public DataEvent
{
public:
    enum Result : qint32 {
        Read = 0,      // also sent once at connection
        NotWritten = 1, // the payload is the configuration in force before the attempt
        Written = 2     // the payload is the configuration just written
    };

    ConfigEvent(const ConfigPacket &configuration, qint32 result); // keeps a clone
    ~ConfigEvent() override;

    const ConfigPacket *packet() const { return block.get(); }
    qint32 result() const { return outcome; }

private:
    std::unique_ptr<ConfigPacket> block;
    const qint32 outcome;
};
