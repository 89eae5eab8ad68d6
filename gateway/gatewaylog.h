#pragma once

#include <QString>

// The gateway's log on stderr, one line an event. Under systemd (stderr not a
// terminal) each line starts with its syslog priority, "<4>", which the journal
// takes as the entry's level; on a terminal the level is a word, coloured.
class GatewayLog
{
public:
    enum Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };
    static void write(int priority, const QString &text);
};
