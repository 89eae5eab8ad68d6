#pragma once

#include "exchange/searchevent.h"

// Type 0: the port could not be opened; error is always 0.
class SearchEventError : public SearchEvent
{
public:
    explicit SearchEventError(qint32 error = 0);

    qint32 error() const { return code; }

private:
    const qint32 code;
};
