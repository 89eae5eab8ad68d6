#pragma once

#include "device/currentscale.h"
#include "link/datapacket.h"

#include <QString>

// The monitoring block read on every polling cycle: registers 33..49 and 170.
// A plain value carrier: nothing is scaled, clamped or validated; the phase
// currents stay in the device's counts until shown in amperes.
class WatchDataPacket : public DataPacket
{
public:
    // Bits of the outputs word (register 37).
    enum Output { PowerOutput = 0, AuxOutput = 1, StopPermitted = 2 };
    // Sentinel values of the PT100 register (register 41).
    static constexpr qint16 kPt100Shorted = -99;
    static constexpr qint16 kPt100Open = 999;
    static constexpr int kPhases = 3;

    WatchDataPacket();
    WatchDataPacket(const WatchDataPacket &other);
    WatchDataPacket *clone() const override;

    quint16 calculatedHeating() const { return words[0]; }
    quint16 faultCode() const { return words[1]; }
    quint16 inputs() const { return words[3]; }
    bool inputActive(int index) const;
    quint16 outputs() const { return words[4]; }
    bool outputState(int index) const;
    bool motorRunning() const { return words[5] != 0; }
    qint16 ptcState() const { return qint16(words[6]); }
    qint16 humidityState() const { return qint16(words[7]); }
    qint16 pt100Temperature() const { return qint16(words[8]); }
    bool pt100Shorted() const { return pt100Temperature() == kPt100Shorted; }
    bool pt100Open() const { return pt100Temperature() == kPt100Open; }
    // In the device's counts (the raw word of registers 42..44).
    quint16 phaseCurrent(int phase) const;
    double phaseCurrentAmperes(int phase, const CurrentScale &scale) const { return scale.amperes(phaseCurrent(phase)); }
    quint16 phaseVoltage(int phase) const;
    quint32 deviceTime() const;
    quint16 motorHours() const { return words[kMonitoringWords]; }

    // The alarm line: "АВАРИЙ НЕТ" for code 0, else the fault text (empty if unknown).
    QString alarmText() const;

protected:
    static constexpr int kMonitoringWords = 17; // registers 33..49

    quint16 words[kMonitoringWords + 1] = {}; // + register 170
};
