#pragma once

#include "exchange/dataevent.h"

#include <memory>

class RunConfigProgressPacket;

// Type 16: auto-setup progress of one cycle.
class RunConfigEventProgress : public DataEvent
{
public:
    explicit RunConfigEventProgress(const RunConfigProgressPacket &source); // keeps a clone
    ~RunConfigEventProgress() override;

    const RunConfigProgressPacket *packet() const { return block.get(); }

private:
    std::unique_ptr<RunConfigProgressPacket> block;
};
