#pragma once

#include "sim/simdeviceconfig.h"
#include "sim/simframe.h"

#include <QByteArray>
#include <QVector>

// Request frames for a simulated device driven without a line (address 1), built
// by the master's own frame builders, and a device configuration by modification.
class DeviceRequests
{
public:
    static SimFrame frame(QByteArray pdu);
    static SimFrame readRequest(int first, int count);
    static SimFrame writeRequest(int first, const QVector<quint16> &values);
    static SimDeviceConfig model(int modification);
};
