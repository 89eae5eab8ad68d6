#pragma once

#include <QString>

// For listings: the driver of a local serial port, its USB latency timer in ms (-1 when
// it has none or cannot be read), and whether its driver takes RS-485 mode (-1 when that
// cannot be asked: the port is in use or cannot be opened).
struct SerialDriverInfo
{
    QString driver;
    int latencyTimerMs = -1;
    int rs485 = -1;

    // Of the port at path; made by the platform's serial line (SerialLine, Win32SerialLine).
    static SerialDriverInfo of(const QString &path);
};
