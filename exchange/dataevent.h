#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <memory>

// What the data exchange thread tells the interface. Each event travels as a shared
// pointer to const: built whole by the thread, read by the receivers, deleted when
// the last of them lets go (also when Qt drops it undelivered). Every block inside
// is the event's own clone. The connection number tells which connection sent it,
// so that a late event of a closed connection is never taken for the current one.
class DataEvent
{
public:
    // Type codes; EventDispatch turns them into the events' classes.
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
        CrashProtocolReset = 9,
        CrashProtocolNotReset = 10,
        WorkProtocolReset = 11,
        WorkProtocolNotReset = 12,
        WorkTimeReset = 13,
        WorkTimeNotReset = 14,
        RunConfigGet = 15,
        RunConfigProgress = 16,
        OscillogramGet = 17,
        AutoConfigStateChanged = 18,
        // Beyond the device's events: the traffic of the line, for the traffic monitor.
        Traffic = 19,        // one frame sent, received or dropped
        LinkStatistics = 20  // the line's counts since the connection started, every cycle
    };

    explicit DataEvent(Type type);
    virtual ~DataEvent();
    DataEvent(const DataEvent &) = delete;
    DataEvent &operator=(const DataEvent &) = delete;

    Type type() const { return eventType; }
    quint64 connection() const { return connectionNumber; }
    // Set by the sender before the event leaves it.
    void setConnection(quint64 number) { connectionNumber = number; }
    // A guarded request that failed because the device answered it with an exception:
    // it refused the operation (a wrong access code, most often), the line is sound.
    bool refused() const { return refusal; }
    void setRefused(bool r) { refusal = r; }

private:
    const Type eventType;
    quint64 connectionNumber = 0;
    bool refusal = false;
};

using DataEventPtr = std::shared_ptr<const DataEvent>;
Q_DECLARE_METATYPE(DataEventPtr)
