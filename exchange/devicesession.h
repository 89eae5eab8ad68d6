#pragma once

#include "device/deviceinfo.h"
#include "exchange/protocoltiming.h"
#include "link/lineoptions.h"
#include "link/modbusport.h"
#include "link/packetexecutor.h"

#include <QString>

#include <atomic>
#include <optional>

class DataPacket;
class SearchPacket;

// One device on one line, as the data exchange and every one-shot command meet it:
// the line opened with its options and timing (the read time-out by its speed), the
// device answering checked against the one expected, blocks read with the exchange's
// retries and written under the access code.
class DeviceSession
{
public:
    // A block read that fails is tried again at once (a reply lost on a noisy line).
    static constexpr int kReadAttempts = 3;

    enum class Identity {
        Matches,      // the device expected (or, for identifyAny, an ОРБИКС-11)
        Unreadable,   // its identification registers could not be read
        Mismatch,     // another modification or rated range than expected
        NotRecognised // something answered, not an ОРБИКС-11
    };

    explicit DeviceSession(const QString &devicePath, const std::atomic<bool> *running = nullptr);
    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    // Set before open().
    void setLineOptions(const LineOptions &o) { lineOptions = o; }
    void setTiming(const ProtocolTiming &t) { timing = t; }
    void setDevice(int address, qint32 baud, int frameFormat);
    // Another device of the line, or another format to probe: at once, also on an open line.
    void setAddress(int address);
    void setFrameFormat(int frameFormat);

    // Opens the line (again) with the settings given; false with errorString() naming why.
    bool open();
    bool isOpen() const { return line.isOpen(); }
    void close() { line.close(); }

    // The read time-out of the exchange at the device's speed, and the search's shorter one.
    int readTimeout() const { return timing.readTimeout(baud); }
    int probeTimeout() const { return timing.probeTimeout(quint32(baud)); }

    Identity identify(const DeviceInfo &expected);
    // Any ОРБИКС-11 at the address: found gets what it tells of itself and the line settings.
    // timeoutMs > 0: the read time-out of this one read (a search's probe).
    Identity identifyAny(DeviceInfo &found, int timeoutMs = 0);

    // With up to attempts tries; a device's refusal (an exception) or a stop is not retried,
    // and after a stop nothing was read.
    bool readBlock(DataPacket &packet, int attempts = kReadAttempts);
    // With a code, each entry goes after the code written to its register.
    bool writeBlock(const DataPacket &packet, std::optional<quint16> accessCode = std::nullopt);

    QString errorString() const;
    // The reason identify() gave, in words for the command line.
    QString identityText(Identity identity) const;

    ModbusPort &port() { return line; }
    PacketExecutor &executor() { return exec; }

private:
    bool readIdentification(SearchPacket &id);

    ModbusPort line;
    PacketExecutor exec;
    const std::atomic<bool> *running;
    LineOptions lineOptions;
    ProtocolTiming timing;
    int address = 1;
    qint32 baud = qint32(ModbusPort::kDefaultBaud);
    int frameFormat = ModbusPort::Format8E1;
    QString openError;
};
