#include "oscillogramread.h"

#include "crashoscillogrampacket.h"
#include "packetexecutor.h"
#include "registermap.h"
#include "tdatapacket.h"

bool OscillogramRead::read(PacketExecutor &exec, CrashOscillogramPacket &block, bool &present)
{
    TDataPacket<unsigned short> fault(RegisterMap::OscillogramFault);
    if (!exec.readPacket(fault) || (fault.value != 0 && !exec.readPacket(block)))
        return false;
    present = fault.value != 0 && block.faultCode() != 0;
    return true;
}
