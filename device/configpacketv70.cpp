#include "device/configpacketv70.h"

#include "device/registermap.h"

ConfigPacketV70::ConfigPacketV70()
{
    addRequest(v70Words, sizeof v70Words, RegisterMap::ConfigurationV70);
}

ConfigPacketV70::ConfigPacketV70(const ConfigPacketV70 &other)
    : ConfigPacketV50(other)
{
    addRequest(v70Words, sizeof v70Words, RegisterMap::ConfigurationV70);
    v70Words[0] = other.v70Words[0];
    v70Words[1] = other.v70Words[1];
}

ConfigPacketV70 *ConfigPacketV70::clone() const
{
    return new ConfigPacketV70(*this);
}

int ConfigPacketV70::version() const
{
    return 70;
}

double ConfigPacketV70::minCurrentCorrection() const
{
    return ConfigFields::toEditor(ConfigFields::MinCurrentCorrection,
                                  ConfigFields::value(*this, ConfigFields::MinCurrentCorrection), 0);
}
