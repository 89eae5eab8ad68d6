#include "device/protocolevent.h"

ProtocolEvent::~ProtocolEvent() = default;

QDateTime ProtocolEvent::fromDeviceTime(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds));
}
