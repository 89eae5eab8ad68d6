#include "exchange/runconfigeventget.h"

#include "device/runconfigpacket.h"

RunConfigEventGet::RunConfigEventGet(const RunConfigPacket &source)
    : DataEvent(RunConfigGet)
    , block(source.clone())
{
}

RunConfigEventGet::~RunConfigEventGet() = default;
