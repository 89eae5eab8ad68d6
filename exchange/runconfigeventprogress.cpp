#include "exchange/runconfigeventprogress.h"

#include "device/runconfigprogresspacket.h"

RunConfigEventProgress::RunConfigEventProgress(const RunConfigProgressPacket &source)
    : DataEvent(RunConfigProgress)
    , block(source.clone())
{
}

RunConfigEventProgress::~RunConfigEventProgress() = default;
