#pragma once

#include "exchange/dataevent.h"

// Type 18: the auto-setup state derived from the progress word changed.
class ChangeAutoConfigState : public DataEvent
{
public:
    ChangeAutoConfigState(qint32 oldState, qint32 newState);

    qint32 oldState() const { return from; }
    qint32 newState() const { return to; }

private:
    const qint32 from;
    const qint32 to;
};
