#pragma once

#include <QStringList>

// `orbix oscillogram`: reads the crash oscillogram as the data exchange reads it,
// prints its fault and trip time, and writes it as COMTRADE and CSV where asked.
class OscillogramCommand
{
public:
    static int run(const QStringList &arguments);
};
