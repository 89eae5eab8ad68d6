#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The gateway's log on stderr, one line an event. When stderr is the journal (systemd
// names it in JOURNAL_STREAM) each line starts with its syslog priority, "<4>", which
// the journal takes as the entry's level and time; a terminal or a file gets an ISO
// time stamp (UTC) and the level as a word, coloured on a terminal.
class GatewayLog
{
public:
    enum Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };
    enum Target { Journal, Terminal, File };

    static void write(int priority, const QString &text);

    // What the descriptor is: the journal when its device and inode are JOURNAL_STREAM's "DEV:INODE".
    static Target targetOf(int fd, const QByteArray &journalStream);
    // One line with its newline.
    static QByteArray format(Target target, int priority, const QString &text, const QDateTime &at);
};
