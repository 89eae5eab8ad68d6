#pragma once

#include "sim/simdeviceconfig.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What orbix-sim is told on its command line and in its configuration file.
class SimOptions
{
public:

    QVector<SimDeviceConfig> devices; // empty: one device with the defaults
    QString linkPath;
    QString ttyPath;
    quint16 accessCode = 1234;
    int turnaroundMs = 5;
    quint32 seed = 1;
    QStringList faults; // in the words of the control channel's "fault" command
    int tcpPort = -1;       // Modbus RTU over TCP; -1: not served
    int modbusTcpPort = -1; // Modbus TCP; -1: not served
    QString listenAddress = QStringLiteral("127.0.0.1");
    bool help = false;
    bool version = false;

    // The arguments after the program name.
    bool parse(const QStringList &arguments);
    // key = value lines; the keys are the long options without their dashes.
    bool readConfigFile(const QString &path);
    QString errorString() const { return error; }
    QVector<SimDeviceConfig> effectiveDevices() const;

    // ADDRESS[:MODIFICATION[:FORMAT[:BAUD]]][:scale=N][:range=N][:formats=any]
    static bool parseDevice(const QString &text, SimDeviceConfig &out, QString &error);
    static bool parseNumber(const QString &text, int low, int high, int &out);
    static QString usage();

private:
    bool apply(const QString &key, const QString &value);
    bool applyNumber(const QString &key, const QString &value);
    bool applyLine(const QString &text);
    bool addDevice(const QString &text);
    bool fail(const QString &text);
    static bool takeField(const QString &field, int position, SimDeviceConfig &out);
    static bool takeSetting(const QString &field, SimDeviceConfig &out);

    QString error;
    int configDepth = 0;
};
