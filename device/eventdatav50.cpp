#include "device/eventdatav50.h"

int EventDataV50::version() const
{
    return 50;
}
