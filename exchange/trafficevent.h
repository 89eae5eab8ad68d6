#pragma once

#include "exchange/dataevent.h"
#include "link/framerecord.h"

// Type 19: one frame of the connection's line, as the port saw it.
class TrafficEvent : public DataEvent
{
public:
    explicit TrafficEvent(const FrameRecord &record) : DataEvent(Traffic), frame(record) {}

    const FrameRecord &record() const { return frame; }

private:
    const FrameRecord frame;
};
