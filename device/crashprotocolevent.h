#pragma once

#include "device/protocolevent.h"

struct CrashRecord;

// A crash log record in the application protocol; its text is the fault text.
class CrashProtocolEvent : public ProtocolEvent
{
public:
    explicit CrashProtocolEvent(const CrashRecord &record);
    QString text() const override;

    int code() const { return faultCode; }
    double current(int phase) const { return validPhase(phase) ? currents[phase] : 0.0; }
    int voltage(int phase) const { return validPhase(phase) ? voltages[phase] : 0; }

private:
    static bool validPhase(int phase) { return phase >= 0 && phase < 3; }

    int faultCode;
    double currents[3];
    int voltages[3];
};
