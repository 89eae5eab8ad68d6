#pragma once

#include "searchevent.h"

#include <memory>

struct DeviceInfo;

// Type 2: a device answered. The device list takes the record over with takeDevice().
class SearchEventFound : public SearchEvent
{
public:
    explicit SearchEventFound(const DeviceInfo &device);
    ~SearchEventFound() override;

    const DeviceInfo *device() const { return info.get(); }
    // Hands the record to the caller; the event keeps nothing.
    DeviceInfo *takeDevice() { return info.release(); }

private:
    std::unique_ptr<DeviceInfo> info;
};
