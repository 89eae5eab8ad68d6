#pragma once

#include <QtGlobal>

// What the data exchange thread tells the interface. The receiver owns the event
// and deletes it; every block inside is the event's own clone.
class DataEvent
{
public:
    // Type codes; the interface dispatches on them.
    enum Type : qint32 {
        Get = 0,
        Connected = 1,
        Disconnected = 2,
        Error = 3,
        LinkRestored = 4,
        GetProtocol = 5,
        Config = 6,
        ClockSet = 7,
        ClockNotSet = 8,
        CrashProtocolCleared = 9,
        CrashProtocolNotCleared = 10,
        WorkProtocolCleared = 11,
        WorkProtocolNotCleared = 12,
        RunningTimeReset = 13,
        RunningTimeNotReset = 14,
        RunConfigGet = 15,
        RunConfigProgress = 16,
        OscillogramGet = 17,
        AutoConfigStateChanged = 18
    };

    explicit DataEvent(qint32 type);
    virtual ~DataEvent();
    DataEvent(const DataEvent &) = delete;
    DataEvent &operator=(const DataEvent &) = delete;

    qint32 type() const { return eventType; }

private:
    const qint32 eventType;
};
