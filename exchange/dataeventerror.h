#pragma once

#include "exchange/dataevent.h"

// Type 3: a connection failure.
class DataEventError : public DataEvent
{
public:
    enum Code : qint32 {
        IdentificationUnreadable = 0, // the run ends
        PortNotOpened = 1,            // the run ends
        LinkLost = 2,                 // polling goes on; a good read sends LinkRestored
        IdentificationMismatch = 3    // the run ends
    };

    explicit DataEventError(qint32 error);

    qint32 error() const { return code; }

private:
    const qint32 code;
};
