#include "exchange/dataeventgetprotocol.h"

#include "device/crashprotocolpacket.h"
#include "device/protocolpacket.h"

DataEventGetProtocol::DataEventGetProtocol(const ProtocolPacket &workLog, const CrashProtocolPacket &crashLog)
    : DataEvent(GetProtocol)
    , work(workLog.clone())
    , crash(crashLog.clone())
{
}

DataEventGetProtocol::~DataEventGetProtocol() = default;
