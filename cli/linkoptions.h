#pragma once

#include <QCommandLineParser>
#include <QString>

#include "exchange/devicesession.h"
#include "exchange/protocoltiming.h"

#include <memory>

// The options every command that talks to a device shares: PORT, address, speed, format.
class LinkOptions
{
public:
    static void addTo(QCommandLineParser &parser);
    // The positional PORT, described the same way by every command.
    static void addPortArgument(QCommandLineParser &parser);
    // How replies end (--framing, --reply-gap, --extra-pause); every command that
    // talks to a line has them.
    static void addLineTimingTo(QCommandLineParser &parser);
    // The preamble of every command that talks to a line, written once here: each step
    // returns -1 when the command goes on, else its exit status with the reason printed.
    enum class Scope { Device, Line }; // Line: the port and the speed only (no address)
    // The options read for PORT; a bad one is a usage error.
    int take(const QCommandLineParser &parser, const QString &portArgument, Scope scope = Scope::Device);
    // The port opened once (checkPort); a refusal fails the command.
    int ensurePort();
    // The device at the address identified as the search does; silence or another device fails.
    int identify(DeviceInfo &found);

    // Reads them back; false with error set on bad input.
    bool read(const QCommandLineParser &parser, const QString &portArgument);
    // Only the port and the speed (commands without an address).
    bool readPortAndSpeed(const QCommandLineParser &parser, const QString &portArgument);

    // The timing the threads get: framing, gap and pause as given, the rest as the protocol has it.
    ProtocolTiming timing() const { return lineTiming; }

    // A session on the port with these options, the timing and the address; not yet open.
    std::unique_ptr<DeviceSession> session() const;
    // The session opened; null with error naming the reason.
    std::unique_ptr<DeviceSession> openSession();
    // Opened, and the device at the address identified as an ОРБИКС-11 (found gets what it
    // tells of itself, the line settings and the port number); null with error set, and
    // silent when nothing answered at all. identifyTimeoutMs > 0: the identification's own
    // read time-out (the search's probe), the session's otherwise.
    std::unique_ptr<DeviceSession> connect(DeviceInfo &found, int identifyTimeoutMs = 0);
    // Opens the port once and closes it, so that a refused port is named as such rather
    // than taken for a silent line by the threads; false with error() naming the reason.
    bool checkPort();

    QString portName;   // as given: COM3 or a path
    QString devicePath; // what is opened
    int portNumber = 0; // n of COMn, 0 when the path has no COM number
    LineOptions options; // the binding's, such as RS-485 mode
    int address = 1;
    quint32 baud = 19200;
    int frameFormat = 0;
    ProtocolTiming lineTiming;
    QString error;
    bool silent = false; // connect() heard nothing at the address

private:
    bool readLineTiming(const QCommandLineParser &parser);
    // A COM number or a device path through the port map (and its bindings file).
    bool resolvePort(const QString &portArgument);
};
