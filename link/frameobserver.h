#pragma once

struct FrameRecord;

// Receives every frame of a port as it happens, in the port's own thread; it must
// not block (a traffic monitor hands the record on and returns).
class FrameObserver
{
public:
    virtual ~FrameObserver() = default;
    virtual void onFrame(const FrameRecord &record) = 0;
};
