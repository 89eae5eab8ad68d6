#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The 36-byte descriptor of one device: found by the search, stored in the device
// list and the last-connection file as raw little-endian records, copied by the
// data exchange on connect.
struct DeviceInfo
{
    enum Kind : qint32 { Recognised = 0, Unknown = 1 };

    qint32 kind = Recognised;
    qint32 address = 0;
    qint32 baudRate = 0;
    qint32 frameFormat = 0;
    qint32 portNumber = 0;
    qint32 modification = 0;
    qint32 currentScale = 0;
    float minRatedCurrent = 0.0f;
    float maxRatedCurrent = 0.0f;

    static constexpr int kRecordSize = 36;
    // The nine speeds a device can be set to, bit/s, in the order the search offers them.
    static constexpr int kSpeedCount = 9;
    static constexpr qint32 kSpeeds[kSpeedCount] = {600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600};

    QByteArray toRecord() const;
    // Reads one record from exactly kRecordSize bytes; false for a short buffer.
    static bool fromRecord(const char *bytes, int size, DeviceInfo &out);

    // The device table's text: "ОРБИКС-11 5.0-50.0 v0.7/1/19200/8E1/COM1"; an unknown
    // device is named in the interface's language.
    QString displayText() const;
    // The same text in Russian whatever the language, for the files that keep it.
    QString sourceText() const;
    // "8E1", "8O1", "8N15", "8N2"; empty for other codes.
    static QString formatLabel(int code);
    // Code for a label (case-insensitive) or a decimal code 0..3; -1 if unknown.
    static int formatCode(const QString &label);
};
static_assert(sizeof(DeviceInfo) == DeviceInfo::kRecordSize, "record layout is the file format");
