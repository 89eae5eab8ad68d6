#pragma once

#include "exchange/dataevent.h"

#include <memory>

class CrashProtocolPacket;
class ProtocolPacket;

// Type 5: both device logs, read after the time of a newest record changed.
class DataEventGetProtocol : public DataEvent
{
public:
    DataEventGetProtocol(const ProtocolPacket &work, const CrashProtocolPacket &crash); // keeps clones
    ~DataEventGetProtocol() override;

    const ProtocolPacket *protocol() const { return work.get(); }
    const CrashProtocolPacket *crashProtocol() const { return crash.get(); }

private:
    // Declared in this order so that the crash log is released first.
    std::unique_ptr<ProtocolPacket> work;
    std::unique_ptr<CrashProtocolPacket> crash;
};
