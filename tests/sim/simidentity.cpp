#include "tests/sim/simidentity.h"

DeviceInfo SimIdentity::of(const SimDeviceConfig &device, int portNumber)
{
    DeviceInfo d;
    d.address = device.address;
    d.baudRate = qint32(device.baudRate);
    d.frameFormat = device.frameFormat;
    d.portNumber = portNumber;
    d.modification = device.modification;
    d.currentScale = device.currentScale;
    // The device reports its rated range in amperes: counts over counts per ampere.
    d.minRatedCurrent = float(device.ratedMinCounts) / device.currentScale;
    d.maxRatedCurrent = 10 * d.minRatedCurrent;
    return d;
}
