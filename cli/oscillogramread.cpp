#include "oscillogramread.h"

#include "crashoscillogrampacket.h"
#include "devicesession.h"
#include "registermap.h"
#include "tdatapacket.h"

bool OscillogramRead::read(DeviceSession &session, CrashOscillogramPacket &block, bool &present)
{
    TDataPacket<unsigned short> fault(RegisterMap::OscillogramFault);
    if (!session.readBlock(fault) || (fault.value != 0 && !session.readBlock(block)))
        return false;
    present = fault.value != 0 && block.faultCode() != 0;
    return true;
}
