#pragma once

#include "device/eventdata.h"
#include "device/registermap.h"
#include "link/datapacket.h"

#include <memory>

// The work log: registers 140..169, ten records of code and 32-bit time.
class ProtocolPacket : public DataPacket
{
public:
    static constexpr int kRecords = RegisterMap::kLogRecords;

    ProtocolPacket();
    ProtocolPacket(const ProtocolPacket &other);
    ProtocolPacket *clone() const override;

    // A new record for index 0..9; null for any other index.
    virtual std::unique_ptr<EventData> event(int index) const;

    quint16 code(int index) const;
    quint32 time(int index) const;
    // Empties record index, as a slot never filled: a copy that hands on only some records.
    void clearRecord(int index);

protected:
    static bool validIndex(int index) { return index >= 0 && index < kRecords; }

private:
    quint16 words[kRecords * RegisterMap::kWorkRecordRegisters] = {};
};
