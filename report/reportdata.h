#pragma once

#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "device/curvepoints.h"
#include "device/deviceinfo.h"
#include "device/protectionmodel.h"
#include "device/watchdatapacket.h"
#include "exchange/samplewindow.h"
#include "plots/currentaxis.h"
#include "plots/samplebuffer.h"

#include <memory>

class ProtocolList;

// What one report shows, filled the same way by the window and by `orbix report`:
// the device, clones of its newest blocks, what its plots are drawn from, and the
// protocol it borrows. The report draws plots of its own from these.
struct ReportData
{
    // The live samples' columns: phase currents A, B, C in amperes, then voltages A, B, C.
    static constexpr int kLiveColumns = 6;
    // The temperature samples' columns: PT100 temperature, then calculated heating.
    static constexpr int kTemperatureColumns = 2;
    static constexpr int kDefaultPlotInterval = SampleWindow::kDefaultInterval;

    DeviceInfo device;
    // The modification the block layouts follow (the connected device's).
    int version = 0;
    std::unique_ptr<WatchDataPacket> monitoring;  // required
    std::unique_ptr<ConfigPacket> configuration;  // required
    const ProtocolList *protocol = nullptr; // newest first

    // Times in seconds since 1970, oldest first; the plots show the last plotInterval
    // seconds up to the newest sample.
    SampleBuffer liveSamples {kLiveColumns};
    SampleBuffer temperatureSamples {kTemperatureColumns};
    int plotInterval = kDefaultPlotInterval;

    // The characteristic: the protection computed from these settings, the start the
    // device recorded (amperes and seconds), over the current axis the user chose.
    ProtectionSettings protection;
    CurvePoints startCharacteristic;
    CurrentAxis currentAxis = CurrentAxis::Logarithmic;

    std::unique_ptr<CrashOscillogramPacket> oscillogram; // none: no crash section
};
