#pragma once

#include "device/deviceinfo.h"
#include "device/enginecommand.h"
#include "device/protocollist.h"
#include "exchange/configwritecheck.h"
#include "exchange/dataevent.h"
#include "exchange/samplewindow.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class ConfigEvent;
class ConfigPacket;
class CrashOscillogramPacket;
class DataThread;
class ProtocolEvent;
class RunConfigPacket;
class RunConfigProgressPacket;
class WatchDataPacket;
struct LineOptions;
struct ProtocolTiming;

// The connection to one device as the interface knows it, without a widget: the data
// exchange thread, the application protocol, the check of configuration writes, the
// newest block of each kind and the monitoring values of the plot interval. Every
// event of the thread is taken in here, then passed on (dataEvent); every request
// reaches the thread through here. The blocks are those of the connection that
// connected last: they stay after it closes and go when the next one connects.
class DeviceConnection : public QObject
{
    Q_OBJECT
public:
    explicit DeviceConnection(QObject *parent = nullptr);
    ~DeviceConnection() override;

    // Closes the current exchange, then starts one with device on the port at devicePath.
    void open(const DeviceInfo &device, const QString &devicePath, const LineOptions &options,
              const ProtocolTiming &timing);
    // Ends the exchange, its type 2 passed on before this returns, and empties the protocol.
    void close();
    // Null while no exchange runs: before the first, after a close, or when its run
    // ended at the start (the port not opened, another device answering).
    const DeviceInfo *device() const;
    QString devicePath() const;
    DataThread *dataThread() const { return thread.get(); }

    // Takes an event in as one of the current connection, then passes it on. The
    // thread's own come here unless a later connection has replaced theirs.
    void take(const DataEvent &event);

    const ProtocolList &protocol() const { return appProtocol; }
    const ConfigWriteCheck &configurationCheck() const { return writeCheck; }
    // Null before the connection's first of each.
    const WatchDataPacket *monitoring() const { return newestMonitoring.get(); }
    const ConfigPacket *configuration() const { return writeCheck.lastBlock(); }
    const RunConfigPacket *startRecord() const { return newestStart.get(); }
    const RunConfigProgressPacket *setupProgress() const { return newestProgress.get(); }
    const CrashOscillogramPacket *oscillogram() const { return newestOscillogram.get(); }

    // The live values of this connection; the temperatures also of the earlier ones
    // to the same device (sameDevice), as long as no other device came in between.
    const SampleWindow &liveSamples() const { return live; }
    const SampleWindow &temperatureSamples() const { return temperatures; }
    void setPlotInterval(int seconds);
    int plotInterval() const { return live.interval(); }
    // A reconnection to the same line and address is taken for the same device.
    static bool sameDevice(const DeviceInfo &before, const DeviceInfo &now);

    // Requests to the thread: nothing happens while none runs.
    void setAccessCode(quint16 code);
    // Every frame of the line as an event (for a traffic monitor), also for later exchanges.
    void setTrafficEvents(bool on);
    void requestReadConfig();
    // The block back when no write was started: no exchange, or one still pending.
    std::unique_ptr<ConfigPacket> requestWriteConfig(std::unique_ptr<ConfigPacket> configuration);
    void requestSetTime(quint32 secondsSince1970);
    void requestResetCrashProtocol();
    void requestResetWorkProtocol();
    void requestResetWorkTime();
    // The command's entry goes into the protocol as it is asked for.
    void requestEngineCommand(EngineCommand command);
    void requestToggleOutput();
    void requestAutoSetup();

signals:
    // A new exchange before it starts: whoever records its events attaches now.
    void exchangeStarting(DataThread *thread);
    // Every event taken in, after the blocks, samples and protocol have taken it.
    void dataEvent(const DataEvent *event);
    // A configuration event judged against the write last started, before its dataEvent.
    void configurationChecked(ConfigWriteCheck::Outcome outcome, const ConfigEvent &event);
    void protocolChanged();

private slots:
    void onThreadEvent(DataEventPtr event);

private:
    void onConnected();
    void onError(int code);
    void onConfiguration(const ConfigEvent &event);
    void onMonitoring(const WatchDataPacket &block);
    void onCleared(int kind);
    void addEntry(std::unique_ptr<ProtocolEvent> entry);

    std::unique_ptr<DataThread> thread;
    bool trafficEvents = false;
    ProtocolList appProtocol;
    ConfigWriteCheck writeCheck;
    std::unique_ptr<WatchDataPacket> newestMonitoring;
    std::unique_ptr<RunConfigPacket> newestStart;
    std::unique_ptr<RunConfigProgressPacket> newestProgress;
    std::unique_ptr<CrashOscillogramPacket> newestOscillogram;
    SampleWindow live {SampleWindow::kLiveSlack, SampleWindow::kDefaultInterval};
    SampleWindow temperatures {SampleWindow::kTemperatureSlack, SampleWindow::kDefaultInterval};
    // The device whose temperatures are held.
    std::optional<DeviceInfo> temperaturesOf;
};
