#include "configpacketv70.h"

#include "registermap.h"

#include <cmath>
#include <limits>

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

void ConfigPacketV70::setMinCurrentCorrection(double value)
{
    const double tenths = std::isnan(value) ? 0.0 : std::round(value * 10.0);
    const double low = std::numeric_limits<qint16>::min();
    const double high = std::numeric_limits<qint16>::max();
    setMinCurrentCorrectionWord(qint16(tenths < low ? low : tenths > high ? high : tenths));
}
