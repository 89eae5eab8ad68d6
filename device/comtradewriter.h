#pragma once

#include <QByteArray>
#include <QString>

class CrashOscillogramPacket;
struct DeviceInfo;

// The crash oscillogram as a COMTRADE record (IEEE C37.111-1999, ASCII), the format
// protection engineers' viewers read: a configuration file (.cfg) and a data file
// (.dat) of the raw samples, each channel with the multiplier of its scale word.
// Times are UTC: the device counts seconds since 1970 UTC.
class ComtradeWriter
{
public:
    static constexpr const char *kStationName = "ОРБИКС-11";
    static constexpr const char *kConfigSuffix = ".cfg";
    static constexpr const char *kDataSuffix = ".dat";

    ComtradeWriter(const CrashOscillogramPacket &oscillogram, const QString &deviceId);

    QByteArray configuration() const;
    QByteArray data() const;

    // The recording device's identity: "ОРБИКС-11 5.0-50.0 v0.7/1" (range, version, address).
    static QString deviceId(const DeviceInfo &device);
    // "dd/mm/yyyy,hh:mm:ss.ssssss" of microseconds since 1970 UTC.
    static QString timeStamp(qint64 microsecondsSince1970);

private:
    QString analogChannel(int channel) const;

    const CrashOscillogramPacket &block;
    QString recorder;
};
