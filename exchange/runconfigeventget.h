#pragma once

#include "exchange/dataevent.h"

#include <memory>

class RunConfigPacket;

// Type 15: the start characteristic recorded by the device.
class RunConfigEventGet : public DataEvent
{
public:
    explicit RunConfigEventGet(const RunConfigPacket &source); // keeps a clone
    ~RunConfigEventGet() override;

    const RunConfigPacket *packet() const { return block.get(); }

private:
    std::unique_ptr<RunConfigPacket> block;
};
