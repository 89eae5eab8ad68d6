#pragma once

#include "device/deviceinfo.h"
#include "sim/simdeviceconfig.h"

// What a search of the line on portNumber records for a simulated device, so that a
// test can connect to it without scanning first.
class SimIdentity
{
public:
    static DeviceInfo of(const SimDeviceConfig &device, int portNumber);
};
