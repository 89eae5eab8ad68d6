#include "exchange/configevent.h"

#include "device/configpacket.h"

ConfigEvent::ConfigEvent(const ConfigPacket &configuration, qint32 result)
    : DataEvent(Config)
    , block(configuration.clone())
    , outcome(result)
{
}

ConfigEvent::~ConfigEvent() = default;
