#include "exchange/searcheventerror.h"

SearchEventError::SearchEventError(qint32 error)
    : SearchEvent(Error)
    , code(error)
{
}
