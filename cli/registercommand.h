#pragma once

#include <QStringList>

// `orbix read` and `orbix write`: one Modbus transaction (or two, with an access code)
// on a device, for scripts and for checking a line from outside.
class RegisterCommand
{
public:
    static int runRead(const QStringList &arguments);
    static int runWrite(const QStringList &arguments);
};
