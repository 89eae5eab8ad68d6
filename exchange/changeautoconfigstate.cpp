#include "exchange/changeautoconfigstate.h"

ChangeAutoConfigState::ChangeAutoConfigState(qint32 oldState, qint32 newState)
    : DataEvent(AutoConfigStateChanged)
    , from(oldState)
    , to(newState)
{
}
