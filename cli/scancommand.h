#pragma once

#include <QStringList>

// `orbix scan`: the search of the program's search tab, from a shell.
class ScanCommand
{
public:
    static int run(const QStringList &arguments);
};
