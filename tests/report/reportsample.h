#pragma once

#include "device/crashoscillogrampacket.h"
#include "device/curvepoints.h"
#include "device/deviceinfo.h"
#include "device/protectionmodel.h"
#include "device/protocollist.h"
#include "plots/samplebuffer.h"
#include "report/reportdata.h"

#include <QString>

#include <memory>

class ConfigPacket;
class WatchDataPacket;

// What a connection to one device leaves for its report, made up with known values:
// the device record, its settings and state, a minute of live samples, the start
// record and protection settings of the characteristic, an oscillogram when asked
// for, and a protocol of both logs (times below).
class ReportSample
{
public:
    // Device times of the log records: nine stops, then a crash, then one more stop
    // and two crashes, newest first.
    static constexpr quint32 kNewestTime = 1700001000;
    static constexpr int kWorkRecordsBeforeCrash = 9;
    static constexpr quint16 kOscillogramFault = 32;
    static constexpr quint32 kTripTime = 1700002000;
    // Raw crash record values: currents in counts, voltages in volts.
    static constexpr quint16 kCrashCurrentCounts = 123;
    static constexpr quint16 kCrashVoltage = 380;

    ReportSample(int modification, int currentScale, bool oscillogram);

    DeviceInfo device;
    std::unique_ptr<ConfigPacket> configuration;
    std::unique_ptr<WatchDataPacket> monitoring;
    ProtocolList protocol;
    SampleBuffer liveSamples {ReportData::kLiveColumns};
    SampleBuffer temperatureSamples {ReportData::kTemperatureColumns};
    ProtectionSettings protection;
    CurvePoints startCharacteristic;
    CrashOscillogramPacket oscillogram;
    bool withOscillogram;

    // The window's way: clones of the blocks, copies of the samples, the protocol borrowed.
    ReportData data() const;

private:
    void fillConfiguration();
    void fillState();
    void fillLogs();
    void fillPlots();
    void fillOscillogram();
};
