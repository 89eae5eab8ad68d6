#pragma once

#include "simdeviceconfig.h"
#include "simframe.h"
#include "simregisters.h"

#include <QVector>

// One simulated device: its register store, what the master may read and write,
// and the access-code guard in front of its settings, clock and clears.
class SimDevice
{
public:
    // A guarded write that does not come right after the access code is refused
    // as an illegal data value, as the device does.
    static constexpr int kGuardRefusal = SimFrame::IllegalDataValue;
    static constexpr quint16 kDefaultAccessCode = 1234;
    static constexpr quint16 kAuxOutput = 0x0002;   // register 37, bit 1
    static constexpr quint16 kPowerOutput = 0x0001; // register 37, bit 0

    struct Answer {
        int exception = 0;       // 0: a normal answer
        QVector<quint16> values; // what a read returns
    };

    SimDevice(const SimDeviceConfig &config, qint64 nowMs);

    const SimDeviceConfig &config() const { return cfg; }
    void setAccessCode(quint16 code) { accessCode = code; }

    // Serves one request addressed to this device, or broadcast. Writing the access
    // code to register 32 arms the guard for exactly the next request.
    Answer handle(const SimFrame &request, qint64 nowMs);

    // Whether the register exists on this modification (holes in the map do; blocks
    // of larger modifications do not).
    bool exists(int reg) const;
    quint16 value(int reg, qint64 nowMs) const;
    // Sets a register as a test or the operator would: no guard, no side effects,
    // the clock registers set the clock.
    void setValue(int reg, quint16 value, qint64 nowMs);
    quint32 clock(qint64 nowMs) const;

private:
    enum class Access { None, Open, Guarded };

    Access access(int reg) const;
    Answer read(const SimFrame &request, qint64 nowMs) const;
    Answer writeSingle(const SimFrame &request, bool wasArmed, qint64 nowMs);
    Answer writeMultiple(const SimFrame &request, bool wasArmed, qint64 nowMs);
    Answer write(int first, const QVector<quint16> &values, bool wasArmed, qint64 nowMs);
    int refusal(int first, const QVector<quint16> &values, bool wasArmed) const;
    static bool valueAllowed(int reg, quint16 value);
    void apply(int reg, quint16 value);
    void command(quint16 code);
    void startAutoSetup();
    void setClock(quint32 seconds, qint64 nowMs);
    static Answer refuse(int code);

    SimDeviceConfig cfg;
    SimRegisters regs;
    quint16 accessCode = kDefaultAccessCode;
    bool armed = false;
    qint64 clockOffset = 0; // device clock minus host clock, seconds
};
