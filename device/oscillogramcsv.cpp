#include "device/oscillogramcsv.h"

#include "device/crashoscillogrampacket.h"

#include <QStringList>

namespace {

const char kCsvLineEnd[] = "\r\n";
// Channel order of the block: currents A, B, C, then voltages A, B, C.
const char *const kColumns[] = {"Время (мс)",       "Ток A (А)",        "Ток B (А)",       "Ток C (А)",
                                "Напряжение A (В)", "Напряжение B (В)", "Напряжение C (В)"};

// The sample times have at most seven decimals; 12 digits drop the binary noise.
constexpr int kTimeDigits = 12;
// A sample times a scale word over 256 is exact in binary: 17 digits print it whole.
constexpr int kValueDigits = 17;

} // namespace

QByteArray OscillogramCsv::header()
{
    QStringList names;
    for (const char *name : kColumns)
        names << QString::fromUtf8(name);
    return names.join(QLatin1Char(',')).toUtf8() + kCsvLineEnd;
}

QByteArray OscillogramCsv::text(const CrashOscillogramPacket &oscillogram)
{
    QByteArray out = header();
    for (int k = 0; k < CrashOscillogramPacket::kSamples; ++k) {
        QStringList row {QString::number(CrashOscillogramPacket::sampleTimeMs(k), 'g', kTimeDigits)};
        for (int c = 0; c < CrashOscillogramPacket::kChannels; ++c)
            row << QString::number(oscillogram.sample(c, k), 'g', kValueDigits);
        out += row.join(QLatin1Char(',')).toUtf8() + kCsvLineEnd;
    }
    return out;
}
