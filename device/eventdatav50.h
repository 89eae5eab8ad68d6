#pragma once

#include "device/eventdata.h"

// A work log record of modification 50 and above: also the peak current of the start.
class EventDataV50 : public EventData
{
public:
    EventDataV50(int code, quint32 time, float startPeak)
        : EventData(code, time), startPeak(startPeak) {}
    int version() const override;

    float startPeak; // amperes
};
