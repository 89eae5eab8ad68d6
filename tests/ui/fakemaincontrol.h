#pragma once

#include "configpacket.h"
#include "deviceinfo.h"
#include "maincontrol.h"
#include "protocollist.h"

#include <QList>

// Stands in for the main window in the tab tests: records what a tab asks for and
// holds a protocol list the test fills.
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
    // Forgets what was asked so far (the protocol list stays).
    void reset()
    {
        connected = false;
        connections.clear();
        disconnects = 0;
        commands.clear();
        toggles = 0;
        statuses.clear();
    }
    bool hasAccessCode() const override { return accessCode; }
    void focusAccessCode() override { ++accessCodeFocused; }
    void requestReadConfig() override {}
    void requestWriteConfig(std::unique_ptr<ConfigPacket> block) override { written = std::move(block); }
    void requestSetTime(quint32) override {}
    void requestResetCrashProtocol() override {}
    void requestResetWorkProtocol() override {}
    void requestResetWorkTime() override {}
    void requestEngineCommand(EngineCommand command) override { commands << command; }
    void requestToggleOutput() override { ++toggles; }
    void requestAutoSetup() override { ++autoSetupRequests; }
    const ProtocolList &protocol() const override { return entries; }

    DeviceInfo device;
    bool connected = false;
    QList<DeviceInfo> connections;
    int disconnects = 0;
    ProtocolList entries;
    QList<EngineCommand> commands;
    std::unique_ptr<ConfigPacket> written;
    int toggles = 0;
    QStringList statuses;
    bool accessCode = false;
    int accessCodeFocused = 0;
    int autoSetupRequests = 0;
};
