#pragma once

#include <QByteArray>

class CrashOscillogramPacket;

// The crash oscillogram as comma-separated text (UTF-8, decimal point): a header row,
// then one row per sample with its time in ms relative to the trip and the six
// channels in amperes and volts.
class OscillogramCsv
{
public:
    static QByteArray text(const CrashOscillogramPacket &oscillogram);
    static QByteArray header();
};
