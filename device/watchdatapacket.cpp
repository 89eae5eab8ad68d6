#include "device/watchdatapacket.h"

#include "device/faulttext.h"
#include "device/registermap.h"

#include <QCoreApplication>

#include <algorithm>
#include <iterator>

namespace {

// Word offsets inside registers 33..49.
constexpr int kCurrentsOffset = 42 - RegisterMap::Monitoring;
constexpr int kVoltagesOffset = 45 - RegisterMap::Monitoring;
constexpr int kClockOffset = RegisterMap::DeviceClock - RegisterMap::Monitoring;
// Bits of the outputs word: power output, auxiliary output, stop permitted.
constexpr quint16 kOutputBits[] = {0x0001, 0x0002, 0x8000};

} // namespace

WatchDataPacket::WatchDataPacket()
{
    addRequest(words, kMonitoringWords * 2, RegisterMap::Monitoring);
    addRequest(words + kMonitoringWords, 2, RegisterMap::WorkTime);
}

WatchDataPacket::WatchDataPacket(const WatchDataPacket &other)
    : WatchDataPacket()
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

WatchDataPacket *WatchDataPacket::clone() const
{
    return new WatchDataPacket(*this);
}

bool WatchDataPacket::inputActive(int index) const
{
    return (index == 0 || index == 1) && (inputs() & (1u << index)) != 0;
}

bool WatchDataPacket::outputState(int index) const
{
    if (index < 0 || index >= int(std::size(kOutputBits)))
        return false;
    return (outputs() & kOutputBits[index]) != 0;
}

quint16 WatchDataPacket::phaseCurrent(int phase) const
{
    return phase >= 0 && phase < kPhases ? words[kCurrentsOffset + phase] : 0;
}

quint16 WatchDataPacket::phaseVoltage(int phase) const
{
    return phase >= 0 && phase < kPhases ? words[kVoltagesOffset + phase] : 0;
}

quint32 WatchDataPacket::deviceTime() const
{
    return quint32(words[kClockOffset]) | quint32(words[kClockOffset + 1]) << 16;
}

QString WatchDataPacket::alarmText() const
{
    return faultCode() == 0 ? QCoreApplication::translate("WatchDataPacket", "АВАРИЙ НЕТ") : faultText(faultCode());
}
