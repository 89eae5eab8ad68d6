#pragma once

#include "exchange/dataevent.h"
#include "link/linkstatistics.h"

// Type 20: what the connection's line did since the connection started.
class LinkStatisticsEvent : public DataEvent
{
public:
    explicit LinkStatisticsEvent(const ::LinkStatistics &counts) : DataEvent(DataEvent::LinkStatistics), stats(counts) {}

    const ::LinkStatistics &statistics() const { return stats; }

private:
    const ::LinkStatistics stats;
};
