#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

class ConfigPacket;
class CrashProtocolEvent;
class QDateTime;
class WatchDataPacket;
struct DeviceInfo;

// The report's texts: the device line, the settings and state rows and the protocol's
// lines, in the formats the report prints them. version is the modification the
// block layouts follow.
class ReportTexts
{
    Q_DECLARE_TR_FUNCTIONS(ReportTexts)

public:
    struct Row {
        QString label;
        QString value;
    };

    // "ОРБИКС-11 5-50 v0.70 / 1 / 19 200 / 8E1 / COM3": integers as the Russian locale writes them.
    static QString deviceLine(const DeviceInfo &device);
    // The left column from "Номинальный ток двигателя:" on; the correction row from version 70.
    static QVector<Row> settingsRows(const ConfigPacket &config, int version, int currentScale);
    static QVector<Row> switchRows(const ConfigPacket &config);
    static QVector<Row> rightColumnRows(const ConfigPacket &config, int version);
    // "Аварий нет" ... "Наработка двигателя: 12ч."; the start count from version 80.
    static QStringList stateLines(const WatchDataPacket &state, int version);
    static QString crashHeading(quint16 faultCode);
    static QString tripTimeLine(quint32 tripTime);
    // The six lines under a crash entry: three currents, three voltages.
    static constexpr int kCrashEntryLines = 6;
    static QStringList crashEntryLines(const CrashProtocolEvent &entry, int currentScale);
    static QString entryTime(const QDateTime &time);
    static QString footer(const QDateTime &reportTime);
    static QString documentName(const QDateTime &reportTime);
    // Amperes in the resolution the current scale gives (one decimal above 1).
    static QString amps(double value, int currentScale);

private:
    static QString onOff(bool on);
    static QString listed(const QStringList &texts, int index);
    static QString imbalanceTripTime(const ConfigPacket &config, int version);
    static QString insulation(const ConfigPacket &config, int version);
};
