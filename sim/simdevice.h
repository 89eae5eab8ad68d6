#pragma once

#include "sim/simautosetup.h"
#include "sim/simdeviceconfig.h"
#include "sim/simframe.h"
#include "sim/simmotor.h"
#include "sim/simregisters.h"

#include <QHash>
#include <QSet>
#include <QVector>

// One simulated device in service: its register store, what the master may read and
// write, the access-code guard in front of its settings, clock and clears, and the
// motor it protects, with logs, counters, oscillogram and auto-setup following it.
// Time is always the caller's (host milliseconds since 1970), so tests can run it fast.
class SimDevice
{
public:
    // A guarded write that does not come right after the access code is refused
    // as an illegal data value, as the device does.
    static constexpr int kGuardRefusal = SimFrame::IllegalDataValue;
    static constexpr quint16 kDefaultAccessCode = 1234;
    static constexpr quint16 kPowerOutput = 0x0001;   // register 37, bit 0
    static constexpr quint16 kAuxOutput = 0x0002;     // register 37, bit 1
    static constexpr quint16 kStopPermitted = 0x8000; // register 37, bit 15

    struct Answer {
        int exception = 0;       // 0: a normal answer
        QVector<quint16> values; // what a read returns
    };

    SimDevice(const SimDeviceConfig &config, qint64 nowMs);

    const SimDeviceConfig &config() const { return cfg; }
    void setAccessCode(quint16 code) { accessCode = code; }
    void setSeed(quint64 seed);

    // Serves one request addressed to this device, or broadcast. Writing the access
    // code to register 32 arms the guard for exactly the next request.
    Answer handle(const SimFrame &request, qint64 nowMs);
    // Runs the motor and what follows from it up to nowMs.
    void advance(qint64 nowMs);

    // Whether the register exists on this modification (holes in the map do; blocks
    // of larger modifications do not).
    bool exists(int reg) const;
    // The register as last brought up to date (handle() and advance() do that).
    quint16 value(int reg, qint64 nowMs) const;
    // Sets a register as a test or the operator would: no guard, no side effects. The
    // clock registers set the clock; monitoring registers 33..47 stay as set (the motor
    // no longer updates them) until releaseRegisters().
    void setValue(int reg, quint16 value, qint64 nowMs);
    void releaseRegisters() { held.clear(); }
    // Test switches for devices that misbehave on writes: a write of reg stores value
    // instead, answered as usual (a device that clamps silently); a write request that
    // covers failing is refused with exception 4 and stores nothing.
    void setWriteClamp(int reg, quint16 value) { clamps.insert(reg, value); }
    void setWriteFailure(int reg) { failingWrites.insert(reg); }
    void clearWriteQuirks();
    quint32 clock(qint64 nowMs) const;

    void setLoad(double percent, qint64 nowMs);
    // Trips now with faultCode, as the device's own protection would.
    void injectTrip(int faultCode, qint64 nowMs);
    const SimMotor &motorModel() const { return motor; }

private:
    enum class Access { None, Open, Guarded };

    Access access(int reg) const;
    Answer read(const SimFrame &request, qint64 nowMs) const;
    Answer writeSingle(const SimFrame &request, bool wasArmed, qint64 nowMs);
    Answer writeMultiple(const SimFrame &request, bool wasArmed, qint64 nowMs);
    Answer write(int first, const QVector<quint16> &values, bool wasArmed, qint64 nowMs);
    int refusal(int first, const QVector<quint16> &values, bool wasArmed) const;
    static bool valueAllowed(int reg, quint16 value);
    void apply(int reg, quint16 value, qint64 nowMs);
    void setClock(quint32 seconds, qint64 nowMs);
    static Answer refuse(int code);

    SimMotor::Protection protection() const;
    quint16 counts(double amps) const;
    void startMotor(int rotation, qint64 nowMs);
    void stopMotor(qint64 nowMs);
    void recordTrip(const SimMotor::Trip &trip, bool wasRunning);
    void countHours(qint64 ranMs);
    void finishAutoSetup(qint64 nowMs);
    void publish(qint64 nowMs);
    void publishOne(int reg, quint16 value);
    quint16 outputsWord() const;

    SimDeviceConfig cfg;
    SimRegisters regs;
    quint16 accessCode = kDefaultAccessCode;
    bool armed = false;
    qint64 clockOffset = 0; // device clock minus host clock, seconds
    SimMotor motor;
    SimAutoSetup autoSetup;
    quint16 activeFault = 0;
    bool auxOutput = false;
    qint64 hourRemainderMs = 0;
    QSet<int> held; // monitoring registers set from outside
    QHash<int, quint16> clamps;
    QSet<int> failingWrites;
};
