#pragma once

#include <QtGlobal>

// Registers of the device that the program relies on, numbered from 1 as in
// the device documentation (the wire carries number - 1).
namespace RegisterMap {

enum : quint32 {
    Identification = 1,      // 1..4: current scale, lowest/highest rated current (counts), modification
    StartPeakDivisor = 1,    // divisor of the start peaks in the work log (modification 50+)
    Configuration = 5,       // 5..29
    ConfigurationV50 = 30,   // modification 50+
    EngineCommandRegister = 31, // EngineCommand values; not guarded
    AccessCode = 32,         // written before every guarded write
    Monitoring = 33,         // 33..49, read every cycle
    Outputs = 37,            // bit 1 toggles the auxiliary output; not guarded
    DeviceClock = 48,        // 48..49, 32-bit seconds since 1970 UTC; guarded
    CrashLog = 50,           // 50..139, ten records of nine registers; write 0 clears (guarded)
    CrashLogNewestTime = 51, // 51..52
    WorkLog = 140,           // 140..169, ten records of three registers; write 0 clears (guarded)
    WorkLogNewestTime = 141, // 141..142
    WorkTime = 170,          // motor running hours; write 0 resets (guarded)
    StartCount = 171,        // 171..172, modification 80+; write 0 resets (guarded)
    StartPeaks = 180,        // 180..189, modification 50+
    ConfigurationV70 = 190,  // 190..191, modification 70+
    AutoSetupState = 199,    // 199..204 progress; write 1 starts auto-setup (guarded)
    StartCharacteristic = 201, // 201..236
    OscillogramHeader = 301, // 301..305
    OscillogramFault = 303,  // 0: no oscillogram stored
    OscillogramEnd = 689,
};

// Written to AutoSetupState to start the device's auto-setup.
constexpr quint16 kAutoSetupStart = 1;

// Counts of the blocks above.
constexpr int kLogRecords = 10;
constexpr int kCrashRecordRegisters = 9;
constexpr int kWorkRecordRegisters = 3;

// A device may stamp a trip up to this long before it has written the record down.
constexpr quint32 kStampSlackSeconds = 60;

} // namespace RegisterMap
