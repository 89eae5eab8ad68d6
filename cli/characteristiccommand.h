#pragma once

#include <QStringList>

// `orbix characteristic`: the 107 points of the protection time-current
// characteristic for given settings, computed by the code the plot uses.
class CharacteristicCommand
{
public:
    static int run(const QStringList &arguments);
};
