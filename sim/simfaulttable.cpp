#include "sim/simfaulttable.h"

void SimFaultTable::set(const SimFault &fault, int count, int address, qint64 nowMs)
{
    const int at = find(address);
    if (at >= 0)
        entries.remove(at);
    if (fault.kind == SimFault::None || count == 0)
        return;
    Entry e;
    e.fault = fault;
    e.remaining = fault.kind == SimFault::Silent ? -1 : count;
    e.address = address;
    e.untilMs = nowMs + fault.pauseMs;
    entries.append(e);
}

void SimFaultTable::clear()
{
    entries.clear();
}

int SimFaultTable::find(int address) const
{
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].address == address)
            return i;
    return -1;
}

void SimFaultTable::dropExpired(qint64 nowMs)
{
    for (int i = entries.size() - 1; i >= 0; --i) {
        const Entry &e = entries[i];
        if (e.remaining == 0 || (e.fault.kind == SimFault::Silent && nowMs >= e.untilMs))
            entries.remove(i);
    }
}

SimFault SimFaultTable::take(int address, qint64 nowMs)
{
    dropExpired(nowMs);
    int at = find(address);
    if (at < 0)
        at = find(0);
    if (at < 0)
        return SimFault();
    Entry &e = entries[at];
    const SimFault fault = e.fault;
    if (e.remaining > 0 && --e.remaining == 0)
        entries.remove(at);
    return fault;
}
