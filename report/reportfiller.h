#pragma once

#include "device/deviceinfo.h"
#include "plots/currentaxis.h"
#include "report/reportdata.h"

class ConfigPacket;
class CrashOscillogramPacket;
class DeviceConnection;
class ProtocolList;
class RunConfigPacket;
class SampleWindow;
class WatchDataPacket;

// Fills a report's data from plain data, the same for the window's connection and
// for the command line's snapshot: blocks cloned, samples turned into the plots'
// columns, the characteristic computed from the settings.
class ReportFiller
{
public:
    // What one report is made of, borrowed for the fill.
    struct Source
    {
        DeviceInfo device;
        // None yet: shown as the exchange holds them before its first read, all zero.
        const WatchDataPacket *monitoring = nullptr;
        const ConfigPacket *configuration = nullptr;
        const RunConfigPacket *startRecord = nullptr;        // none: no start characteristic
        const CrashOscillogramPacket *oscillogram = nullptr; // a crash section if it holds a trip
        const ProtocolList *protocol = nullptr;
        const SampleWindow *liveSamples = nullptr;
        const SampleWindow *temperatureSamples = nullptr;
        int plotInterval = ReportData::kDefaultPlotInterval;
        CurrentAxis currentAxis = CurrentAxis::Logarithmic;
    };

    static ReportData fill(const Source &source);
    // The connection's device, newest blocks, samples, protocol and plot interval.
    static Source of(const DeviceConnection &connection, CurrentAxis currentAxis);

private:
    static void fillSamples(const Source &source, ReportData &data);
};
