#include "exchange/dataeventerror.h"

DataEventError::DataEventError(qint32 error)
    : DataEvent(Error)
    , code(error)
{
}
