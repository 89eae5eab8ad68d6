#pragma once

#include "storage/portmap.h"

#include <QList>
#include <QMap>
#include <QString>

// The serial ports Windows has now, for PortMap::system(): the names every serial
// driver enters in HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, described as the
// device manager describes them (else by the driver's device name), and the COMn
// device names defined without an entry there (a virtual port driver's, a COM port
// Wine maps to a Unix device). Built on Windows only, where there is no QtSerialPort
// to ask.
class Win32PortList
{
public:
    static QList<PortMap::Candidate> present();

private:
    // COMn -> the device it names, from the DOS device names.
    static QMap<QString, QString> definedNames();
    // COMn -> "description, maker" of the ports the device manager knows.
    static QMap<QString, QString> descriptions();
};
