#include "sim/simoscillogram.h"

#include <QtMath>

#include <cmath>

namespace {

constexpr double kSampleLimit = 30000.0; // headroom below the signed 16-bit maximum
constexpr double kScaleUnit = 256.0;     // scale words are in 1/256 of a unit per sample

} // namespace

quint16 SimOscillogram::scaleWordFor(double peak)
{
    const double word = std::ceil(peak * kScaleUnit / kSampleLimit);
    return quint16(qBound(1.0, word, 65535.0));
}

void SimOscillogram::store(SimRegisters &regs, const Trip &trip)
{
    double peakAmps = 0;
    for (double a : trip.amps)
        peakAmps = qMax(peakAmps, a * M_SQRT2);
    const quint16 currentWord = scaleWordFor(peakAmps);
    const quint16 voltageWord = quint16(kScaleUnit); // one volt per sample
    regs.set32(kHeader, trip.time);
    regs.set(kFaultCode, trip.code);
    regs.set(kCurrentScale, currentWord);
    regs.set(kVoltageScale, voltageWord);
    for (int phase = 0; phase < 3; ++phase) {
        storeChannel(regs, phase, trip.amps[phase], currentWord);
        storeChannel(regs, 3 + phase, trip.volts[phase], voltageWord);
    }
}

void SimOscillogram::storeChannel(SimRegisters &regs, int channel, double rms, quint16 scaleWord)
{
    const double shift = -2.0 * M_PI / 3.0 * (channel % 3);
    const double countsPerUnit = kScaleUnit / scaleWord;
    for (int k = 0; k < kSamples; ++k) {
        const double tSeconds = -kSampleMs * (kSamples - k) / 1000.0;
        const double value = rms * M_SQRT2 * std::sin(2.0 * M_PI * kMainsHz * tSeconds + shift);
        const qint16 sample = qint16(qRound(value * countsPerUnit));
        regs.set(kFirstSample + channel * kSamples + k, quint16(sample));
    }
}

void SimOscillogram::clear(SimRegisters &regs)
{
    regs.fill(kHeader, kLast, 0);
}
