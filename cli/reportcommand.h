#pragma once

#include <QStringList>

// `orbix report`: connects to one device as the program does, reads what the window
// would show, and writes the window's PDF report of it, without a display.
class ReportCommand
{
public:
    static constexpr int kDefaultSeconds = 10;
    static int run(const QStringList &arguments);
};
