#pragma once

#include <QtGlobal>

// One record of the work log: what happened and when.
class EventData
{
public:
    // Work log codes; 0 is an empty slot.
    enum Code { Empty = 0, MotorStop = 1, MotorStart = 2 };

    EventData(int code, quint32 time) : code(code), time(time) {}
    virtual ~EventData();
    // Modification level of the log that made the record: 0 here, 50 with start peaks.
    virtual int version() const;

    int code;
    quint32 time; // seconds since 1970-01-01 00:00 UTC
};
