#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <map>

// The messages that must reach the broker (events, oscillograms), kept on disk
// until it has acknowledged them, in order. Bounded: beyond the limit the oldest is
// dropped and counted. The file is a journal of additions and removals, compacted
// when the removals outweigh what is still held; a restart picks up what is left.
// Not thread-safe: its owner serialises the calls.
class Outbox
{
public:
    struct Message {
        QByteArray topic;
        QByteArray payload;
    };

    Outbox(const QString &path, int limit);
    // Reads what an earlier run left; false with error() when the file cannot be opened.
    bool open();
    QString error() const { return errorText; }

    // The new message's number: increasing, never reused.
    quint64 push(const Message &message);
    void remove(quint64 number);
    // The messages from number on, oldest first: at most count.
    std::map<quint64, Message>::const_iterator from(quint64 number) const { return held.lower_bound(number); }
    std::map<quint64, Message>::const_iterator end() const { return held.end(); }
    int size() const { return int(held.size()); }
    quint64 dropped() const { return droppedCount; }
    // Bytes of the journal on disk.
    qint64 fileSize() const { return file.size(); }
    // False while the journal cannot be written (error() says why): what is held then
    // is in memory only, and is written whole at the next change that can be.
    bool onDisk() const { return writing; }

private:
    void append(char kind, quint64 number, const Message *message);
    void compact();
    void failed(const QString &reason);

    const QString path;
    const int limit;
    QFile file;
    std::map<quint64, Message> held;
    quint64 next = 1;
    quint64 droppedCount = 0;
    int removals = 0; // in the journal since it was last written whole
    bool writing = true;
    QString errorText;
};
