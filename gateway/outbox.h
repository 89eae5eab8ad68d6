#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <map>

// The messages that must reach the broker (events, oscillograms), kept on disk
// until it has acknowledged them, in order. Bounded: beyond the limit the oldest is
// dropped and counted. The file is a journal of additions and removals, each line
// with its checksum, compacted when the removals outweigh what is still held and
// when it has drained; a restart picks up what is left. A damaged record (cut short,
// checksum wrong, a topic no broker takes) is set aside in PATH.damaged and counted;
// the rest is kept. Not thread-safe: its owner serialises the calls.
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
    // A held message that cannot be sent (the broker's library refuses it): moved to
    // the damaged ones, so that it does not hold back those after it.
    void setAside(quint64 number);
    // The messages from number on, oldest first.
    std::map<quint64, Message>::const_iterator from(quint64 number) const { return held.lower_bound(number); }
    std::map<quint64, Message>::const_iterator end() const { return held.end(); }
    int size() const { return int(held.size()); }
    quint64 dropped() const { return droppedCount; }
    // Records found damaged since open(), and messages set aside.
    quint64 damaged() const { return damagedCount; }
    // Bytes of the journal on disk.
    qint64 fileSize() const { return file.size(); }
    // False while the journal cannot be written (error() says why): what is held then
    // is in memory only, and is written whole at the next change that can be.
    bool onDisk() const { return writing; }
    // The journal written anew with only what is held (at a clean stop).
    void compact();

private:
    void read();
    void append(char kind, quint64 number, const Message *message);
    void keepDamaged(const QByteArrayList &lines);
    void failed(const QString &reason);

    const QString path;
    const int limit;
    QFile file;
    std::map<quint64, Message> held;
    quint64 next = 1;
    quint64 droppedCount = 0;
    quint64 damagedCount = 0;
    int removals = 0; // in the journal since it was last written whole
    bool writing = true;
    QString errorText;
};
