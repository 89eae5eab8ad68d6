#include "device/protocollist.h"

#include "device/crashprotocolevent.h"
#include "device/crashprotocolpacket.h"
#include "device/eventprotocolevent.h"
#include "device/protocolpacket.h"

#include <algorithm>

ProtocolList::ProtocolList() = default;
ProtocolList::~ProtocolList() = default;

void ProtocolList::insert(std::unique_ptr<ProtocolEvent> entry)
{
    list.insert(list.begin(), std::move(entry));
    sort();
}

int ProtocolList::merge(const ProtocolPacket &work, const CrashProtocolPacket &crash)
{
    const int added = mergeWork(work) + mergeCrash(crash);
    sort();
    return added;
}

int ProtocolList::mergeWork(const ProtocolPacket &work)
{
    int added = 0;
    for (int i = 0; i < ProtocolPacket::kRecords; ++i) {
        const int code = work.code(i);
        if (code == 0 || contains(ProtocolEvent::WorkLog, work.time(i), code))
            continue;
        list.push_back(std::make_unique<EventProtocolEvent>(work.event(i)));
        ++added;
    }
    return added;
}

int ProtocolList::mergeCrash(const CrashProtocolPacket &crash)
{
    int added = 0;
    for (int j = 0; j < CrashProtocolPacket::kRecords; ++j) {
        const CrashRecord record = crash.record(j);
        if (record.code == 0 || contains(ProtocolEvent::CrashLog, record.time, record.code))
            continue;
        list.push_back(std::make_unique<CrashProtocolEvent>(record));
        ++added;
    }
    return added;
}

bool ProtocolList::contains(int kind, quint32 time, int code) const
{
    return std::any_of(list.cbegin(), list.cend(), [&](const std::unique_ptr<ProtocolEvent> &e) {
        return e->kind() == kind && e->time().toSecsSinceEpoch() == qint64(time) && codeOf(*e) == code;
    });
}

int ProtocolList::codeOf(const ProtocolEvent &entry)
{
    if (entry.kind() == ProtocolEvent::WorkLog)
        return static_cast<const EventProtocolEvent &>(entry).data().code;
    if (entry.kind() == ProtocolEvent::CrashLog)
        return static_cast<const CrashProtocolEvent &>(entry).code();
    return -1;
}

void ProtocolList::removeKind(int kind)
{
    list.erase(std::remove_if(list.begin(), list.end(),
                              [kind](const std::unique_ptr<ProtocolEvent> &e) { return e->kind() == kind; }),
               list.end());
}

void ProtocolList::clear()
{
    list.clear();
}

void ProtocolList::sort()
{
    std::stable_sort(list.begin(), list.end(),
                     [](const std::unique_ptr<ProtocolEvent> &a, const std::unique_ptr<ProtocolEvent> &b) {
                         return a->time().toSecsSinceEpoch() > b->time().toSecsSinceEpoch();
                     });
}
