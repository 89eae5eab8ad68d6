#pragma once

#include "deviceinfo.h"
#include "maincontrol.h"
#include "protocolevent.h"

#include <QList>

// Stands in for the main window: records what the tab asks for and holds a
// protocol list the test fills.
class FakeMainControl : public MainControl
{
public:
    ~FakeMainControl() override { qDeleteAll(entries); }

    void connectDevice(const DeviceInfo &d) override { device = d; connected = true; }
    void disconnectDevice() override { connected = false; }
    const DeviceInfo *currentDevice() const override { return connected ? &device : nullptr; }
    void showStatus(const QString &text, int) override { statuses << text; }
    bool hasAccessCode() const override { return false; }
    void focusAccessCode() override {}
    void requestReadConfig() override {}
    void requestWriteConfig(ConfigPacket *) override {}
    void requestSetTime(quint32) override {}
    void requestResetCrashProtocol() override {}
    void requestResetWorkProtocol() override {}
    void requestResetWorkTime() override {}
    void requestEngineCommand(int command) override { commands << command; }
    void requestToggleOutput() override { ++toggles; }
    void requestAutoSetup() override {}
    const QList<ProtocolEvent *> &protocol() const override { return entries; }

    DeviceInfo device;
    bool connected = false;
    QList<ProtocolEvent *> entries;
    QList<int> commands;
    int toggles = 0;
    QStringList statuses;
};
