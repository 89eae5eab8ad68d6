#pragma once

#include <QtGlobal>

// One simulated device on the line: its address, model number and line settings.
struct SimDeviceConfig
{
    int address = 1;
    int modification = 70;
    int frameFormat = 0;         // 0 8E1, 1 8O1, 2 8N15, 3 8N2
    quint32 baudRate = 19200;
    quint16 currentScale = 2;    // counts per ampere
    quint16 ratedMinCounts = 10; // lowest rated current in counts; the highest is ten times this
    bool anyFormat = false;      // hears every frame format, as behind a converter that ignores parity
};
