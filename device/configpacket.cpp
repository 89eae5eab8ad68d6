#include "configpacket.h"

#include "devicelog.h"
#include "registermap.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

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

double ConfigPacket::ratedCurrentAmps(int currentScale) const
{
    if (currentScale == 0) {
        qCDebug(lcDevice) << "current scale is 0; rated current" << ratedCurrent() << "shown as 0";
        return 0.0;
    }
    return double(ratedCurrent()) / double(currentScale);
}

void ConfigPacket::setRatedCurrentAmps(double amps, int currentScale)
{
    setRatedCurrent(ampsToCounts(amps, currentScale));
}

quint16 ConfigPacket::ampsToCounts(double amps, int currentScale)
{
    // The device rounds the product as a single-precision number; clamping keeps
    // an out-of-range editor value from an undefined conversion.
    const double counts = double(float(amps * currentScale)) + 0.5;
    const double top = std::numeric_limits<quint16>::max();
    if (!(counts > 0.0))
        return 0;
    return counts >= top ? quint16(top) : quint16(std::trunc(counts));
}

quint16 ConfigPacket::tensToMs(int tens)
{
    return quint16(qBound(0, tens * 10, int(std::numeric_limits<quint16>::max())));
}
