#include "dataevent.h"

DataEvent::DataEvent(qint32 type)
    : eventType(type)
{
}

DataEvent::~DataEvent() = default;
