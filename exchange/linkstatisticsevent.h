#pragma once

#include "dataevent.h"
#include "linkstatistics.h"

// Type 20: what the connection's line did since the connection started.
class LinkStatisticsEvent : public DataEvent
{
public:
    explicit LinkStatisticsEvent(const ::LinkStatistics &counts) : DataEvent(DataEvent::LinkStatistics), stats(counts) {}

    const ::LinkStatistics &statistics() const { return stats; }

private:
    const ::LinkStatistics stats;
};
