#pragma once

#include <QtGlobal>

// Motor commands as the device takes them in its command register.
enum class EngineCommand : qint32 {
    None = -1, // no command pending
    Stop = 0,
    Forward = 1,
    Backward = 2
};
