#include "configevent.h"

#include "configpacket.h"

ConfigEvent::ConfigEvent(const ConfigPacket &configuration, qint32 result)
    : DataEvent(Config)
    , block(configuration.clone())
    , outcome(result)
{
}

ConfigEvent::~ConfigEvent() = default;
