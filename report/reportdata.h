#pragma once

#include "configpacket.h"
#include "deviceinfo.h"
#include "watchdatapacket.h"

#include <QtGlobal>

#include <memory>

class CrashPlot;
class ProtocolList;
class RunConfigPlot;
class TempPlot;
class WatchPlot;

// What one report shows, filled the same way by the window and by `orbix report`:
// the device, clones of its newest blocks, and the protocol and plots it borrows
// (the report draws copies of the plots, never the plots themselves).
struct ReportData
{
    DeviceInfo device;
    // The modification the block layouts follow (currentDeviceVersion of the connection).
    int version = 0;
    std::unique_ptr<WatchDataPacket> monitoring;  // required
    std::unique_ptr<ConfigPacket> configuration;  // required
    const ProtocolList *protocol = nullptr; // newest first
    const WatchPlot *livePlot = nullptr;
    const TempPlot *tempPlot = nullptr;
    const RunConfigPlot *characteristicPlot = nullptr;
    const CrashPlot *crashPlot = nullptr; // none without an oscillogram
    quint32 tripTime = 0;                 // of the oscillogram, seconds since 1970 UTC
    quint16 faultCode = 0;                // of the oscillogram
};
