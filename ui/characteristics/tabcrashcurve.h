#pragma once

#include "ui/dataeventlistener.h"

#include <QString>
#include <QWidget>

class CrashEventOscillogramGet;
class CrashOscillogramPacket;
class CrashPlot;
class DataEvent;
class MainControl;
class QLabel;

// Tab "Аварийная осциллограмма": the fault and the time of the last trip, and the six
// channels the device recorded before it. The plot's context menu saves the picture,
// the samples as CSV and the record as COMTRADE.
class TabCrashCurve : public QWidget, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabCrashCurve(MainControl *main, QWidget *parent = nullptr);
    ~TabCrashCurve() override;

    void onDataEvent(const DataEvent *event) override;

    CrashPlot *plot() const { return crashPlot; }
    // Of the last oscillogram; 0 before the first.
    quint32 tripTime() const;
    quint16 faultCode() const;
    // The connection's last oscillogram, the one shown; none before the first.
    const CrashOscillogramPacket *lastOscillogram() const;
    // BASE.cfg and BASE.dat; false when there is no oscillogram or a file cannot be written.
    bool exportComtrade(const QString &basePath) const;
    // What the save dialogs propose for this oscillogram's files: the device's address,
    // the fault and the time of the trip.
    QString exportName() const;

public slots:
    void onExportComtrade();

private:
    void setupContextMenu();
    void onConnected();
    void onOscillogram(const CrashEventOscillogramGet &event);

    MainControl *mainControl;
    QLabel *faultLabel = nullptr;
    QLabel *timeLabel = nullptr;
    CrashPlot *crashPlot = nullptr;
    QString recorder; // the connected device's identity, for COMTRADE
    int deviceAddress = 0; // of the connected device, for the file names
};
