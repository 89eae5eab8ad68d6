#pragma once

#include "device/registermap.h"
#include "link/datapacket.h"

// One crash log record as handed out: currents in amperes, voltages in volts.
struct CrashRecord
{
    int code = 0;                     // fault code; 0 is an empty slot
    quint32 time = 0;                 // seconds since 1970-01-01 00:00 UTC
    double currents[3] = {0, 0, 0};   // 0 when the current scale is 0
    int voltages[3] = {0, 0, 0};
    quint16 rawCurrents[3] = {0, 0, 0}; // device counts, kept for a zero scale
};

// The crash log: registers 50..139, ten records of nine registers, together
// with the current scale of the device it was read from.
class CrashProtocolPacket : public DataPacket
{
public:
    static constexpr int kRecords = RegisterMap::kLogRecords;

    explicit CrashProtocolPacket(int currentScale);
    CrashProtocolPacket(const CrashProtocolPacket &other);
    CrashProtocolPacket *clone() const override;

    // Record 0..9; an empty record for any other index.
    CrashRecord record(int index) const;

    quint16 code(int index) const { return word(index, 0); }
    quint32 time(int index) const;
    quint16 rawCurrent(int index, int phase) const;
    quint16 voltage(int index, int phase) const;
    int currentScale() const { return scale; }
    // Empties record index, as a slot never filled: a copy that hands on only some records.
    void clearRecord(int index);

private:
    quint16 word(int index, int offset) const;

    int scale;
    quint16 words[kRecords * RegisterMap::kCrashRecordRegisters] = {};
};
