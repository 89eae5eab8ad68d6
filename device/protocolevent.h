#pragma once

#include <QDateTime>
#include <QString>

// One entry of the application protocol: a device log record or the program's own note.
class ProtocolEvent
{
public:
    enum Kind { Application = 0, WorkLog = 1, CrashLog = 2 };

    virtual ~ProtocolEvent();
    virtual QString text() const = 0;

    const QDateTime &time() const { return when; }
    int kind() const { return entryKind; }

    ProtocolEvent(const ProtocolEvent &) = delete;
    ProtocolEvent &operator=(const ProtocolEvent &) = delete;

protected:
    ProtocolEvent(const QDateTime &time, Kind kind) : when(time), entryKind(kind) {}
    // Device times are seconds since 1970 UTC, shown in local time.
    static QDateTime fromDeviceTime(quint32 seconds);

private:
    QDateTime when;
    int entryKind;
};
