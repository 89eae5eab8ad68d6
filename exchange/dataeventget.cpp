#include "exchange/dataeventget.h"

#include "device/watchdatapacket.h"

DataEventGet::DataEventGet(const WatchDataPacket &source)
    : DataEvent(Get)
    , block(source.clone())
{
}

DataEventGet::~DataEventGet() = default;
