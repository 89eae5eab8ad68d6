#pragma once

#include "link/datapacket.h"

#include <QVector>

// The crash oscillogram: registers 301..689, a header and six channels of 64
// signed samples (currents A, B, C, then voltages A, B, C), oldest first.
class CrashOscillogramPacket : public DataPacket
{
public:
    static constexpr int kChannels = 6;
    static constexpr int kSamples = 64;
    static constexpr int kCurrentChannels = 3; // channels 0..2; 3..5 are voltages
    static constexpr double kSampleIntervalMs = 0.4171875;
    static constexpr double kScaleDivisor = 256.0; // scale words are units per 256 counts

    CrashOscillogramPacket();
    CrashOscillogramPacket(const CrashOscillogramPacket &other);
    CrashOscillogramPacket *clone() const override;

    quint32 tripTime() const { return quint32(words[0]) | quint32(words[1]) << 16; }
    quint16 faultCode() const { return words[2]; } // 0: no oscillogram stored
    quint16 currentScaleWord() const { return words[3]; }
    quint16 voltageScaleWord() const { return words[4]; }

    qint16 rawSample(int channel, int k) const;
    // Amperes for channels 0..2, volts for 3..5.
    double sample(int channel, int k) const;
    QVector<double> channelValues(int channel) const;
    // Milliseconds before the trip: -26.7 for sample 0 up to -0.4171875 for sample 63.
    static double sampleTimeMs(int k);

private:
    static constexpr int kHeaderWords = 5;

    void addRequests();
    static bool valid(int channel, int k);

    quint16 words[kHeaderWords + kChannels * kSamples] = {};
};
