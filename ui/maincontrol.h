#pragma once

#include "device/enginecommand.h"

#include <QString>
#include <QtGlobal>

#include <memory>

class ConfigPacket;
class DeviceConnection;
class ProtocolList;
struct DeviceInfo;

// What the tabs may ask of the main window: the connection and what it holds, the
// status bar, the access code, and one-shot requests to the data exchange thread.
// The main window implements it; tab tests use a small stand-in.
class MainControl
{
public:
    virtual ~MainControl() = default;

    virtual void connectDevice(const DeviceInfo &device) = 0;
    virtual void disconnectDevice() = 0;
    // The record of the current connection, or nullptr when not connected.
    virtual const DeviceInfo *currentDevice() const = 0;
    // duration 0: until the next message.
    virtual void showStatus(const QString &text, int durationMs) = 0;
    virtual bool hasAccessCode() const = 0;
    virtual void focusAccessCode() = 0;

    virtual void requestReadConfig() = 0;
    // Hands the block over to be written; false, the block deleted and the user told
    // why, when no write was started (no connection, a write pending, no backup).
    virtual bool requestWriteConfig(std::unique_ptr<ConfigPacket> configuration) = 0;
    virtual void requestSetTime(quint32 secondsSince1970) = 0;
    virtual void requestResetCrashProtocol() = 0;
    virtual void requestResetWorkProtocol() = 0;
    virtual void requestResetWorkTime() = 0;
    // Adds the motor command entry to the application protocol, then asks the thread.
    virtual void requestEngineCommand(EngineCommand command) = 0;
    virtual void requestToggleOutput() = 0;
    virtual void requestAutoSetup() = 0;

    // The application protocol, newest first; owned by the main window.
    virtual const ProtocolList &protocol() const = 0;
    // The connection's newest blocks, read where a tab needs them after their event.
    virtual const DeviceConnection &connection() const = 0;
};
