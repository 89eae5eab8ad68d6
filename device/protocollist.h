#pragma once

#include <memory>
#include <vector>

#include <QtGlobal>

class CrashProtocolPacket;
class ProtocolEvent;
class ProtocolPacket;

// The application protocol: the program's own entries and the device's work and
// crash log records, newest first, without duplicates. Owns its entries.
class ProtocolList
{
public:
    ProtocolList();
    ~ProtocolList();
    ProtocolList(const ProtocolList &) = delete;
    ProtocolList &operator=(const ProtocolList &) = delete;

    int size() const { return int(list.size()); }
    bool isEmpty() const { return list.empty(); }
    const ProtocolEvent &at(int index) const { return *list[std::size_t(index)]; }

    // Takes the entry and keeps the list sorted.
    void insert(std::unique_ptr<ProtocolEvent> entry);
    // Adds the records of both logs not yet present (empty slots never); returns how many.
    int merge(const ProtocolPacket &work, const CrashProtocolPacket &crash);
    // Deletes every entry of one kind; the others keep their order.
    void removeKind(int kind);
    void clear();

private:
    bool contains(int kind, quint32 time, int code) const;
    static int codeOf(const ProtocolEvent &entry);
    int mergeWork(const ProtocolPacket &work);
    int mergeCrash(const CrashProtocolPacket &crash);
    void sort();

    std::vector<std::unique_ptr<ProtocolEvent>> list;
};
