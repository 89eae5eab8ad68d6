#include "device/crashoscillogrampacket.h"

#include "device/registermap.h"

#include <algorithm>
#include <iterator>

namespace {

// Scale words are amperes or volts per 256 counts.

} // namespace

static_assert(RegisterMap::OscillogramHeader + 5 + 6 * 64 - 1 == RegisterMap::OscillogramEnd,
              "header and six channels fill registers 301..689");

CrashOscillogramPacket::CrashOscillogramPacket()
{
    addRequests();
}

CrashOscillogramPacket::CrashOscillogramPacket(const CrashOscillogramPacket &other)
    : CrashOscillogramPacket()
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

CrashOscillogramPacket *CrashOscillogramPacket::clone() const
{
    return new CrashOscillogramPacket(*this);
}

void CrashOscillogramPacket::addRequests()
{
    addRequest(words, kHeaderWords * 2, RegisterMap::OscillogramHeader);
    // One request per channel keeps each read within the Modbus register limit.
    for (int c = 0; c < kChannels; ++c) {
        const int offset = kHeaderWords + c * kSamples;
        addRequest(words + offset, kSamples * 2, RegisterMap::OscillogramHeader + offset);
    }
}

bool CrashOscillogramPacket::valid(int channel, int k)
{
    return channel >= 0 && channel < kChannels && k >= 0 && k < kSamples;
}

qint16 CrashOscillogramPacket::rawSample(int channel, int k) const
{
    return valid(channel, k) ? qint16(words[kHeaderWords + channel * kSamples + k]) : 0;
}

double CrashOscillogramPacket::sample(int channel, int k) const
{
    const quint16 scale = channel < kCurrentChannels ? currentScaleWord() : voltageScaleWord();
    return rawSample(channel, k) * double(scale) / kScaleDivisor;
}

QVector<double> CrashOscillogramPacket::channelValues(int channel) const
{
    QVector<double> values;
    values.reserve(kSamples);
    for (int k = 0; k < kSamples; ++k)
        values.append(sample(channel, k));
    return values;
}

double CrashOscillogramPacket::sampleTimeMs(int k)
{
    return -kSampleIntervalMs * (kSamples - k);
}
