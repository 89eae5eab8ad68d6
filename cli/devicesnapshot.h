#pragma once

#include "configpacket.h"
#include "crashoscillogrampacket.h"
#include "crashprotocolpacket.h"
#include "deviceinfo.h"
#include "protocolpacket.h"
#include "runconfigpacket.h"
#include "watchdatapacket.h"

#include <QString>

#include <memory>
#include <vector>

class LinkOptions;
class ModbusPort;
class PacketExecutor;

// Everything a report of one device shows, read as the data exchange reads it: the
// identification checked against the device expected, the settings, both logs, the
// start record, the oscillogram when the device holds one, then a monitoring block
// once a second for the seconds asked.
class DeviceSnapshot
{
public:
    struct Sample {
        quint32 time; // seconds since 1970, the local clock at the read
        std::unique_ptr<WatchDataPacket> block;
    };
    // A monitoring read that fails is tried again at once (a reply lost on a noisy
    // line); failing this many times, the device no longer answers and the snapshot
    // fails rather than report a state that is no longer true.
    static constexpr int kSampleAttempts = 3;

    // False with reason naming what could not be read (nothing is kept then).
    bool read(const LinkOptions &link, const DeviceInfo &expected, int seconds, QString &reason);

    DeviceInfo device;
    std::unique_ptr<ConfigPacket> configuration;
    std::unique_ptr<ProtocolPacket> workLog;
    std::unique_ptr<CrashProtocolPacket> crashLog;
    std::unique_ptr<RunConfigPacket> startRecord;
    std::unique_ptr<CrashOscillogramPacket> oscillogram; // none when its fault code is 0
    std::vector<Sample> samples;                         // oldest first, one a second

private:
    bool identify(PacketExecutor &exec, QString &reason) const;
    bool readBlocks(PacketExecutor &exec, QString &reason);
    bool readOscillogram(PacketExecutor &exec, QString &reason);
    bool collectSamples(PacketExecutor &exec, int seconds, QString &reason);
    bool readSample(PacketExecutor &exec, QString &reason);

    ModbusPort *port = nullptr; // while reading, for its error text
};
