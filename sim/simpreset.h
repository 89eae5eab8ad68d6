#pragma once

#include "sim/simdeviceconfig.h"
#include "sim/simregisters.h"

// The register content of a device fresh from the box after some service: plausible
// settings, a motor at rest, a few log records, a start record and a stored oscillogram.
class SimPreset
{
public:
    // Modification numbers from which the larger blocks exist.
    static constexpr int kV50 = 50; // register 30, start peaks 180..189
    static constexpr int kV70 = 70; // registers 190..191
    static constexpr int kV80 = 80; // start counter 171..172

    static void fill(SimRegisters &regs, const SimDeviceConfig &config, quint32 nowSec);
    // The rated current set at the factory, in counts: four times the lowest.
    static quint16 ratedCounts(const SimDeviceConfig &config);

private:
    static void fillIdentification(SimRegisters &regs, const SimDeviceConfig &config);
    static void fillConfiguration(SimRegisters &regs, const SimDeviceConfig &config);
    static void fillMonitoring(SimRegisters &regs);
    static void fillLogs(SimRegisters &regs, const SimDeviceConfig &config, quint32 nowSec);
    static void fillStartRecord(SimRegisters &regs, const SimDeviceConfig &config, quint32 nowSec);
};
