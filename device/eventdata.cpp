#include "device/eventdata.h"

EventData::~EventData() = default;

int EventData::version() const
{
    return 0;
}
