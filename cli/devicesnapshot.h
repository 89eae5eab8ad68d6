#pragma once

#include "device/configpacket.h"
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/deviceinfo.h"
#include "device/protocolpacket.h"
#include "device/runconfigpacket.h"
#include "device/watchdatapacket.h"
#include "exchange/samplewindow.h"

#include <QString>

#include <memory>

class DeviceSession;
class LinkOptions;

// Everything a report of one device shows, read as the data exchange reads it: the
// identification checked against the device expected, the settings, both logs, the
// start record, the oscillogram when the device holds one, then a monitoring block
// once a second for the seconds asked.
class DeviceSnapshot
{
public:
    // False with reason naming what could not be read (nothing is kept then).
    bool read(const LinkOptions &link, const DeviceInfo &expected, int seconds, QString &reason);

    DeviceInfo device;
    std::unique_ptr<ConfigPacket> configuration;
    std::unique_ptr<ProtocolPacket> workLog;
    std::unique_ptr<CrashProtocolPacket> crashLog;
    std::unique_ptr<RunConfigPacket> startRecord;
    std::unique_ptr<CrashOscillogramPacket> oscillogram; // none when its fault code is 0
    std::unique_ptr<WatchDataPacket> monitoring;         // the last one read
    // Oldest first, one a second, stamped with the local clock at the read; all kept.
    SampleWindow samples;

private:
    bool identify(DeviceSession &session, QString &reason) const;
    bool readBlocks(DeviceSession &session, QString &reason);
    bool readOscillogram(DeviceSession &session, QString &reason);
    bool collectSamples(DeviceSession &session, int seconds, QString &reason);
    // A monitoring read that fails is tried again (the session's retries); failing them
    // all, the device no longer answers and the snapshot fails rather than report a
    // state that is no longer true.
    bool readSample(DeviceSession &session, QString &reason);
};
