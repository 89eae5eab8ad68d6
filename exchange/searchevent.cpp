#include "searchevent.h"

SearchEvent::SearchEvent(qint32 type)
    : eventType(type)
{
}

SearchEvent::~SearchEvent() = default;
