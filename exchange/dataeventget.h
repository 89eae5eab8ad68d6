#pragma once

#include "exchange/dataevent.h"

#include <memory>

class WatchDataPacket;

// Type 0: the live values of one polling cycle.
class DataEventGet : public DataEvent
{
public:
    explicit DataEventGet(const WatchDataPacket &source); // keeps a clone
    ~DataEventGet() override;

    const WatchDataPacket *packet() const { return block.get(); }

private:
    std::unique_ptr<WatchDataPacket> block;
};
