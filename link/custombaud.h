#pragma once

#include <QtGlobal>

// Line speeds that termios has no constant for (14400 bit/s among the device's
// speeds), set and read through the kernel's termios2 interface. Kept in a file of
// its own because the kernel's termios header cannot share one with the C library's.
class CustomBaud
{
public:
    // Sets both directions of the open line fd to baud; false (errno kept) on failure.
    static bool apply(int fd, quint32 baud);
    // The output speed of the line in bit/s, whatever way it was set; 0 if unknown.
    static quint32 read(int fd);
};
