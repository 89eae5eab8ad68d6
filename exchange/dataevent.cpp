#include "exchange/dataevent.h"

DataEvent::DataEvent(Type type)
    : eventType(type)
{
}

DataEvent::~DataEvent() = default;
