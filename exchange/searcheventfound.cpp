#include "searcheventfound.h"

#include "deviceinfo.h"

SearchEventFound::SearchEventFound(const DeviceInfo &device)
    : SearchEvent(Found)
    , info(new DeviceInfo(device))
{
}

SearchEventFound::~SearchEventFound() = default;
