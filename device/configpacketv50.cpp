#include "device/configpacketv50.h"

#include "device/registermap.h"

ConfigPacketV50::ConfigPacketV50()
{
    addRequest(v50Words, sizeof v50Words, RegisterMap::ConfigurationV50);
}

ConfigPacketV50::ConfigPacketV50(const ConfigPacketV50 &other)
    : ConfigPacket(other)
{
    addRequest(v50Words, sizeof v50Words, RegisterMap::ConfigurationV50);
    v50Words[0] = other.v50Words[0];
}

ConfigPacketV50 *ConfigPacketV50::clone() const
{
    return new ConfigPacketV50(*this);
}

int ConfigPacketV50::version() const
{
    return 50;
}
