#pragma once

#include "device/configpacket.h"
#include "device/deviceinfo.h"
#include "device/protocollist.h"
#include "exchange/deviceconnection.h"
#include "ui/dataeventlistener.h"
#include "ui/maincontrol.h"

#include <QList>

// Stands in for the main window in the tab tests: records what a tab asks for, holds
// a protocol list the test fills, and a connection without a thread that takes the
// events the test sends (send()) before the tab does, as the window's does.
class FakeMainControl : public MainControl
{
public:
    FakeMainControl() = default;
    FakeMainControl(const FakeMainControl &) = delete;
    FakeMainControl &operator=(const FakeMainControl &) = delete;
    ~FakeMainControl() override = default;

    void connectDevice(const DeviceInfo &d) override
    {
        device = d;
        connected = true;
        connections << d;
    }
    void disconnectDevice() override
    {
        connected = false;
        ++disconnects;
    }
    const DeviceInfo *currentDevice() const override { return connected ? &device : nullptr; }
    void showStatus(const QString &text, int) override { statuses << text; }
    QString lastStatus() const { return statuses.isEmpty() ? QString() : statuses.last(); }
    // Forgets what was asked and sent so far (the protocol list stays).
    void reset()
    {
        model = std::make_unique<DeviceConnection>();
        connected = false;
        connections.clear();
        disconnects = 0;
        commands.clear();
        toggles = 0;
        statuses.clear();
        requests.clear();
    }
    bool hasAccessCode() const override { return accessCode; }
    void focusAccessCode() override { ++focusRequests; }
    void requestReadConfig() override { requests << "read"; }
    bool requestWriteConfig(std::unique_ptr<ConfigPacket> block) override
    {
        if (!acceptWrites)
            return false;
        written = std::move(block);
        requests << "write";
        return true;
    }
    void requestSetTime(quint32 t) override { requests << QStringLiteral("time %1").arg(t); }
    void requestResetCrashProtocol() override { requests << "crash"; }
    void requestResetWorkProtocol() override { requests << "work"; }
    void requestResetWorkTime() override { requests << "hours"; }
    void requestEngineCommand(EngineCommand command) override { commands << command; }
    void requestToggleOutput() override { ++toggles; }
    void requestAutoSetup() override { ++autoSetupRequests; }
    const ProtocolList &protocol() const override { return entries; }
    const DeviceConnection &connection() const override { return *model; }
    void send(DataEventListener &tab, const DataEvent &event)
    {
        model->take(event);
        tab.onDataEvent(&event);
    }

    DeviceInfo device;
    bool connected = false;
    QList<DeviceInfo> connections;
    int disconnects = 0;
    ProtocolList entries;
    QList<EngineCommand> commands;
    std::unique_ptr<ConfigPacket> written;
    bool accessCode = false;
    bool acceptWrites = true;
    int focusRequests = 0;
    QStringList requests; // "read", "write", "time N", "crash", "work", "hours"
    int toggles = 0;
    QStringList statuses;
    int autoSetupRequests = 0;
    std::unique_ptr<DeviceConnection> model = std::make_unique<DeviceConnection>();
};
