#include "device/configpacket.h"

#include "device/registermap.h"

#include <algorithm>
#include <iterator>

ConfigPacket::ConfigPacket()
{
    addRequest(words, sizeof words, RegisterMap::Configuration);
}

ConfigPacket::ConfigPacket(const ConfigPacket &other)
    : ConfigPacket()
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

ConfigPacket *ConfigPacket::clone() const
{
    return new ConfigPacket(*this);
}

int ConfigPacket::version() const
{
    return 0;
}
