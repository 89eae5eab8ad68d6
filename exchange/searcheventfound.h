#pragma once

#include "device/deviceinfo.h"
#include "exchange/searchevent.h"

// Type 2: a device answered; the search tab copies the record into its list.
class SearchEventFound : public SearchEvent
{
public:
    explicit SearchEventFound(const DeviceInfo &device);

    const DeviceInfo &device() const { return info; }

private:
    const DeviceInfo info;
};
