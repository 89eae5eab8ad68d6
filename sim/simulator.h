#pragma once

#include "sim/simdeviceconfig.h"
#include "sim/simfault.h"
#include "sim/simfaulttable.h"
#include "sim/simline.h"
#include "sim/simrequest.h"
#include "sim/simwake.h"

#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class SimDevice;
class SimFrame;

// One serial line with one or more simulated devices on it, served by a thread of its
// own: a Modbus RTU slave per device, with line-settings matching, real-line timing,
// faults on demand and a record of every request. All members may be called from any
// thread while it runs.
class Simulator
{
public:
    Simulator();  // no devices yet
    ~Simulator(); // stops
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // A device with the address of an existing one replaces it.
    void addDevice(const SimDeviceConfig &config);
    void setAccessCode(quint16 code); // default 1234
    void setTurnaroundMs(int ms);     // default 5
    // Noise of the simulated measurements; the same seed gives the same values at the same times.
    void setSeed(quint32 seed);       // default 1

    // Creates the pty, starts the thread; false + errorString() on failure.
    bool start(const QString &symlinkPath = QString());
    // Serves a real serial port, set to the speed and format of the first device.
    bool startOnTty(const QString &ttyPath);
    void stop();
    bool isRunning() const { return worker.joinable(); }

    QString linkPath() const; // path the master opens (pty slave, or the serial port)
    QString errorString() const;

    quint16 registerValue(int address, int reg) const;
    void setRegisterValue(int address, int reg, quint16 value);
    // count -1: until cleared; address 0: all devices.
    void setFault(const SimFault &fault, int count = -1, int address = 0);
    // Also ends the write quirks below.
    void clearFaults();
    // The device at address stores value whenever reg is written, and answers as usual.
    void setWriteClamp(int address, int reg, quint16 value);
    // The device at address refuses every write that covers reg (exception 4).
    void setWriteFailure(int address, int reg);

    // The motor of a device runs at percent of its rated current once started (default 80).
    void setLoad(int address, int percent);
    // The device trips now with faultCode: crash record, oscillogram, motor stopped.
    void injectTrip(int address, int faultCode);
    // Monitoring registers set by setRegisterValue() follow the motor again.
    void releaseRegisters(int address);

    // The reply to a request frame that came over a network server (recorded as any
    // request); empty when nobody answers. splitAt/pauseMs: a split-reply fault.
    QByteArray networkReply(const QByteArray &frame, int &splitAt, int &pauseMs);

    QVector<SimRequest> requests() const;
    void clearRequests();
    // true once at least count requests are recorded.
    bool waitForRequests(int count, int timeoutMs) const;
    // true once at least count replies have left in full since the start.
    bool waitForReplies(int count, int timeoutMs) const;

private:
    struct Outgoing {
        QByteArray bytes;
        quint32 baud = 0;
        int splitAt = -1;
        int pauseMs = 0;
    };

    bool launch(bool ok);
    void run();
    void serve(const QByteArray &frame, qint64 endNs);
    Outgoing answer(const QByteArray &frame, SimRequest &request, bool overNetwork = false);
    bool heard(const SimDevice &d, bool overNetwork) const;
    // The first device at the address that hears the line's settings; none if none does.
    SimDevice *hearing(int address, bool overNetwork) const;
    Outgoing answerDevice(SimDevice &device, const SimFrame &frame, SimRequest &request);
    void broadcast(const SimFrame &frame, bool overNetwork);
    static Outgoing ignore(SimRequest &request, const QString &why);
    static QByteArray replyFor(const SimFrame &frame, int exception, const QVector<quint16> &values);
    static void spoil(Outgoing &out, const SimFault &fault, SimRequest &request);
    static SimRequest describe(const QByteArray &frame);
    SimLine::Pacing pacing(const Outgoing &out, qint64 endNs) const;
    SimDevice *device(int address) const;
    SimDeviceConfig firstConfig() const;
    void record(const SimRequest &request);
    static qint64 hostMs();

    // std::mutex rather than QMutex: the thread sanitizer sees through it.
    mutable std::mutex lock; // devices, faults, seed, error
    std::vector<std::unique_ptr<SimDevice>> devices;
    SimFaultTable faults;
    quint16 accessCode;
    quint32 seed = 1;
    QString error;

    std::atomic<int> turnaroundMs {5};
    SimLine line; // opened and closed with the thread stopped; the thread's own while it runs
    std::thread worker;
    std::atomic<bool> stopping {false};
    SimWake stopWake;

    mutable std::mutex recordLock;
    mutable std::condition_variable recorded;
    QVector<SimRequest> log;
    int replies = 0;
};
