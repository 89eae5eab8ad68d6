#pragma once

#include "exchange/protocoltiming.h"
#include "exchange/searchevent.h"
#include "link/modbusport.h"

#include <QThread>

#include <atomic>
#include <memory>

class DeviceSession;

// Looks for devices on one port at one speed: every address 1..247 under the
// frame formats 8E1, 8O1 and 8N15 (a scan that can be stopped and continued),
// or one address under one format (a single probe). Reports as SearchEvents.
// The thread touches no file: its port is given as a path.
class SearchThread : public QThread
{
    Q_OBJECT

public:
    static constexpr int kFormatCount = 3;
    static constexpr int kLastAddress = ModbusPort::kMaxSlaveAddress;
    static constexpr int kProbesPerScan = kLastAddress * kFormatCount;

    explicit SearchThread(QObject *parent = nullptr);
    ~SearchThread() override;

    // Set only while idle, before a start: the port's COM number (recorded in what is
    // found), the path it resolves to (what is opened) and the speed.
    void setPortNumber(qint32 n) { port = n; }
    void setDevicePath(const QString &devicePath) { path = devicePath; }
    void setBaudRate(quint32 baud) { speed = baud; }
    void setTiming(const ProtocolTiming &t) { timing = t; }
    void setLineOptions(const LineOptions &o) { lineOptions = o; }
    qint32 portNumber() const { return port; }
    const QString &devicePath() const { return path; }
    quint32 baudRate() const { return speed; }
    // Limits a scan to addresses first..last (1..247 by default); applies from the next reset.
    void setScanRange(int first, int last);
    int scanProbes() const { return (lastAddress - firstAddress + 1) * formats.load(); }
    // Frame formats probed at each address: 3, or 1 on a network line that keeps its own
    // format (known once a run has opened the line).
    int formatsPerAddress() const { return formats.load(); }

    void resetSearch();
    void startSearch();
    void probeAt(quint32 address, quint32 format);
    // Stops a running search and waits for it; emits type 6 before returning.
    void stopSearch();
    // Stops a running scan, or continues a stopped one from where it stopped.
    void toggleSearch();

    int probeCount() const { return probes.load(); }
    // The number stamped into the events of the current scan; a reset makes a new one.
    quint64 scanNumber() const { return scanId.load(); }
    bool singleProbe() const { return single.load(); }
    int nextAddress() const { return address.load(); }
    int formatIndex() const { return formatIdx.load(); }

    // The frame format code probed at scan index i (0..2).
    static int scanFormat(int index);

signals:
    void searchEvent(SearchEventPtr event);

public slots:
    // Emits type 6: the search was stopped and can be continued.
    void stoped();

protected:
    void run() override;

private:
    void runOnce();
    void scan(DeviceSession &session);
    bool probe(DeviceSession &session, int address, int format);
    // The event is built inside, so that everything it carries is made in one place.
    template <typename Event, typename... Args> void emitEvent(Args &&...args)
    {
        auto event = std::make_shared<Event>(std::forward<Args>(args)...);
        event->setScan(scanId.load());
        emit searchEvent(std::move(event));
    }
    void requestStop();

    qint32 port = 0;
    QString path;
    ProtocolTiming timing;
    LineOptions lineOptions;
    int firstAddress = 1;
    int lastAddress = kLastAddress;
    quint32 speed = 19200;
    quint32 probeAddress = 1;
    quint32 probeFormat = 0;
    std::atomic<bool> single {false};
    std::atomic<int> address {1};
    std::atomic<int> formatIdx {0};
    std::atomic<int> probes {0};
    std::atomic<int> formats {kFormatCount};
    std::atomic<quint64> scanId {0};
    std::atomic<bool> running {false}; // cleared to stop; the port's waits watch it
};
