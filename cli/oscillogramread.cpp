#include "cli/oscillogramread.h"

#include "device/crashoscillogrampacket.h"
#include "device/registermap.h"
#include "exchange/devicesession.h"
#include "link/tdatapacket.h"

bool OscillogramRead::read(DeviceSession &session, CrashOscillogramPacket &block, bool &present)
{
    TDataPacket<unsigned short> fault(RegisterMap::OscillogramFault);
    if (!session.readBlock(fault) || (fault.value != 0 && !session.readBlock(block)))
        return false;
    present = fault.value != 0 && block.faultCode() != 0;
    return true;
}
