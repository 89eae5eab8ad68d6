#pragma once

#include <QStringList>

// `orbix monitor`: connects to one device as the program does and prints every
// event of the connection, one line each.
class MonitorCommand
{
public:
    static int run(const QStringList &arguments);
};
