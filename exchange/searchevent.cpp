#include "exchange/searchevent.h"

SearchEvent::SearchEvent(Type type)
    : eventType(type)
{
}

SearchEvent::~SearchEvent() = default;
