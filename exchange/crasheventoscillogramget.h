#pragma once

#include "exchange/dataevent.h"

#include <memory>

class CrashOscillogramPacket;

// Type 17: a new crash oscillogram.
class CrashEventOscillogramGet : public DataEvent
{
public:
    explicit CrashEventOscillogramGet(const CrashOscillogramPacket &source); // keeps a clone
    ~CrashEventOscillogramGet() override;

    const CrashOscillogramPacket *packet() const { return block.get(); }

private:
    std::unique_ptr<CrashOscillogramPacket> block;
};
