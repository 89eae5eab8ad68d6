#pragma once

#include "sim/simregisters.h"

// The crash oscillogram a device keeps of its last trip (301..689): a header
// (time, fault code, current and voltage scale words) and six channels of 64
// signed samples, phase currents A, B, C then phase voltages A, B, C, oldest first.
class SimOscillogram
{
public:
    static constexpr int kHeader = 301;
    static constexpr int kFaultCode = 303;
    static constexpr int kCurrentScale = 304; // amperes per sample = word / 256
    static constexpr int kVoltageScale = 305; // volts per sample = word / 256
    static constexpr int kFirstSample = 306;
    static constexpr int kLast = 689;
    static constexpr int kSamples = 64;
    static constexpr int kChannels = 6;
    static constexpr double kSampleMs = 0.4171875; // 64 samples cover the last 26.7 ms
    static constexpr double kMainsHz = 50.0;

    struct Trip {
        quint32 time = 0;
        quint16 code = 0;
        double amps[3] = {0, 0, 0};  // RMS phase currents at the trip
        double volts[3] = {0, 0, 0}; // RMS phase voltages at the trip
    };

    static void store(SimRegisters &regs, const Trip &trip);
    static void clear(SimRegisters &regs);
    // Scale word that keeps a peak within the signed sample range.
    static quint16 scaleWordFor(double peak);

private:
    static void storeChannel(SimRegisters &regs, int channel, double rms, quint16 scaleWord);
};
