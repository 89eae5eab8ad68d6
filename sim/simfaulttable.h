#pragma once

#include "sim/simfault.h"

#include <QVector>
#include <QtGlobal>

// The link faults in force: at most one per device address, and one for the whole
// line (address 0). A device's own fault takes precedence over the line's.
class SimFaultTable
{
public:
    // count: requests it lasts (-1 until cleared). Silent lasts fault.pauseMs from nowMs instead.
    void set(const SimFault &fault, int count, int address, qint64 nowMs);
    void clear();
    // The fault that spoils one request to address; a counted fault loses one use.
    SimFault take(int address, qint64 nowMs);
    bool isEmpty() const { return entries.isEmpty(); }

private:
    struct Entry {
        SimFault fault;
        int remaining = -1;
        int address = 0;
        qint64 untilMs = 0; // Silent only
    };

    void dropExpired(qint64 nowMs);
    int find(int address) const;

    QVector<Entry> entries;
};
