#pragma once

#include <QStringList>

// `orbix ports`: the serial ports as the program numbers them.
class PortsCommand
{
public:
    static int run(const QStringList &arguments);
};
