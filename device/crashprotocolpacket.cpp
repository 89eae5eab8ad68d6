#include "device/crashprotocolpacket.h"

#include "device/devicelog.h"

#include <algorithm>
#include <iterator>

namespace {

// Offsets inside one nine-register record: code, time (2), currents (3), voltages (3).
constexpr int kTimeOffset = 1;
constexpr int kRecordCurrents = 3;
constexpr int kRecordVoltages = 6;
constexpr int kRecordPhases = 3;

} // namespace

CrashProtocolPacket::CrashProtocolPacket(int currentScale)
    : scale(currentScale)
{
    addRequest(words, sizeof words, RegisterMap::CrashLog);
}

CrashProtocolPacket::CrashProtocolPacket(const CrashProtocolPacket &other)
    : CrashProtocolPacket(other.scale)
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

CrashProtocolPacket *CrashProtocolPacket::clone() const
{
    return new CrashProtocolPacket(*this);
}

quint16 CrashProtocolPacket::word(int index, int offset) const
{
    if (index < 0 || index >= kRecords)
        return 0;
    return words[index * RegisterMap::kCrashRecordRegisters + offset];
}

quint32 CrashProtocolPacket::time(int index) const
{
    return quint32(word(index, kTimeOffset)) | quint32(word(index, kTimeOffset + 1)) << 16;
}

quint16 CrashProtocolPacket::rawCurrent(int index, int phase) const
{
    return phase >= 0 && phase < kRecordPhases ? word(index, kRecordCurrents + phase) : 0;
}

quint16 CrashProtocolPacket::voltage(int index, int phase) const
{
    return phase >= 0 && phase < kRecordPhases ? word(index, kRecordVoltages + phase) : 0;
}

void CrashProtocolPacket::clearRecord(int index)
{
    if (index >= 0 && index < kRecords)
        std::fill_n(words + index * RegisterMap::kCrashRecordRegisters, RegisterMap::kCrashRecordRegisters, quint16(0));
}

CrashRecord CrashProtocolPacket::record(int index) const
{
    CrashRecord r;
    r.code = code(index);
    r.time = time(index);
    if (scale == 0)
        qCDebug(lcDevice) << "current scale is 0; crash record currents shown as 0";
    for (int p = 0; p < kRecordPhases; ++p) {
        r.rawCurrents[p] = rawCurrent(index, p);
        r.currents[p] = scale == 0 ? 0.0 : double(r.rawCurrents[p]) / double(scale);
        r.voltages[p] = voltage(index, p);
    }
    return r;
}
