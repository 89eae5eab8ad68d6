#pragma once

#include <QByteArray>
#include <QString>

class CrashOscillogramPacket;
struct DeviceInfo;

// The crash oscillogram as a COMTRADE record (IEEE C37.111-1999, ASCII), the format
// protection engineers' viewers read: a configuration file (.cfg) and a data file
// (.dat) of the raw samples, each channel with the multiplier of its scale word.
// Times are UTC: the device counts seconds since 1970 UTC. The 1999 files are ASCII,
// so the station and the recorder are named in Latin letters.
class ComtradeWriter
{
public:
    static constexpr const char *kStationName = "ORBIKS-11";
    static constexpr const char *kConfigSuffix = ".cfg";
    static constexpr const char *kDataSuffix = ".dat";

    // deviceId as deviceId() gives it; a comma or a character outside printable ASCII
    // in it becomes a space or '?', so that the file stays readable by any viewer.
    ComtradeWriter(const CrashOscillogramPacket &oscillogram, const QString &deviceId);

    QByteArray configuration() const;
    QByteArray data() const;

    // The recording device's identity: "ORBIKS-11 5.0-50.0 v0.7/1" (range, version,
    // address); "unknown/7" for a device that did not identify itself.
    static QString deviceId(const DeviceInfo &device);
    // "dd/mm/yyyy,hh:mm:ss.ssssss" of microseconds since 1970 UTC.
    static QString timeStamp(qint64 microsecondsSince1970);

private:
    QString analogChannel(int channel) const;

    const CrashOscillogramPacket &block;
    QString recorder;
};
