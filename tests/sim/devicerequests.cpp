#include "tests/sim/devicerequests.h"

#include "link/rtuframing.h"

SimFrame DeviceRequests::frame(QByteArray pdu)
{
    RtuFraming::appendCrc(pdu);
    return SimFrame::parse(pdu);
}

SimFrame DeviceRequests::readRequest(int first, int count)
{
    return frame(RtuFraming::readRequest(1, quint32(first), quint16(count)));
}

SimFrame DeviceRequests::writeRequest(int first, const QVector<quint16> &values)
{
    if (values.size() == 1)
        return frame(RtuFraming::writeSingleRequest(1, quint32(first), values.first()));
    return frame(RtuFraming::writeMultipleRequest(1, quint32(first), values.constData(), quint16(values.size())));
}

SimDeviceConfig DeviceRequests::model(int modification)
{
    SimDeviceConfig c;
    c.modification = modification;
    return c;
}
