#include "device/crashprotocolevent.h"

#include "device/crashprotocolpacket.h"
#include "device/faulttext.h"

CrashProtocolEvent::CrashProtocolEvent(const CrashRecord &record)
    : ProtocolEvent(fromDeviceTime(record.time), CrashLog), faultCode(record.code)
{
    for (int p = 0; p < 3; ++p) {
        currents[p] = record.currents[p];
        voltages[p] = record.voltages[p];
    }
}

QString CrashProtocolEvent::text() const
{
    return faultText(faultCode);
}
