#pragma once

#include <QJsonObject>

class CrashOscillogramPacket;
class CurrentScale;
class WatchDataPacket;
struct CrashRecord;
struct DeviceInfo;

// A device's blocks as JSON, the same for `orbix` and the gateway: a monitoring
// block as `orbix monitor --json` prints it, an oscillogram as `orbix oscillogram
// --json` does, the identity of a device and its log records.
class DeviceJson
{
public:
    static QJsonObject monitoring(const WatchDataPacket &packet, const CurrentScale &scale);
    static QJsonObject oscillogram(const CrashOscillogramPacket &block);
    static QJsonObject identity(const DeviceInfo &device);
    static QJsonObject crashRecord(const CrashRecord &record);
    // One line of compact JSON.
    static QByteArray compact(const QJsonObject &object);
};
