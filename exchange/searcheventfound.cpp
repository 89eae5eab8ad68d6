#include "exchange/searcheventfound.h"

SearchEventFound::SearchEventFound(const DeviceInfo &device)
    : SearchEvent(Found)
    , info(device)
{
}
