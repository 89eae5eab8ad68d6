#pragma once

#include <QString>

// The terminal orbix talks to, where Linux and a Windows console differ: the bytes it
// shows, whether a standard stream is a terminal at all, and reading without echo.
class Terminal
{
public:
    enum class Stream { Input, Error };

    // A Windows console shows the code page of its own unless told otherwise, and Qt
    // writes the system's ANSI one: both are set to UTF-8, which every stream, message
    // and pipe of orbix then carries, as on Linux. Called first in main, before any
    // stream is made (each takes the codec when it is made); the console's own page is
    // back when orbix ends. Nothing on Linux.
    static void useUtf8();
    // True for a terminal (a console on Windows), false for a pipe, a file or nothing.
    static bool isTerminal(Stream stream);
    // A line of standard input; what is typed on a terminal is not shown, and a new
    // line is written to the standard error after it.
    static QString readLineQuietly();
};
