#include "dataeventgetprotocol.h"

#include "crashprotocolpacket.h"
#include "protocolpacket.h"

DataEventGetProtocol::DataEventGetProtocol(const ProtocolPacket &workLog, const CrashProtocolPacket &crashLog)
    : DataEvent(GetProtocol)
    , work(workLog.clone())
    , crash(crashLog.clone())
{
}

DataEventGetProtocol::~DataEventGetProtocol() = default;
