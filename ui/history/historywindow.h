#pragma once

#include "history/historysample.h"

#include <QDialog>
#include <QVector>

#include <memory>

class CrashOscillogramPacket;
class HistoryPlot;
class HistoryStore;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QTableWidget;

// "История": what the history database holds for one device over a period, after any
// restart: the currents, voltages and temperature, the events in order and the stored
// oscillograms, each of which opens in the oscillogram plot or is written as COMTRADE
// or CSV. The file is read on its own read-only connection while the recorder writes it.
class HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    enum Period { LastHour = 0, LastDay = 1, LastWeek = 2, Chosen = 3 };

    explicit HistoryWindow(const QString &databasePath, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Reads the device list again (a new device may have been recorded since).
    void reload();
    // nowMs: the end of the "last ..." periods, injectable for tests.
    void showPeriod(int deviceIndex, Period period, qint64 nowMs = 0);
    void showRange(int deviceIndex, qint64 fromMs, qint64 toMs);

    const QVector<HistoryDevice> &devices() const { return deviceList; }
    const QVector<HistorySample> &shownSamples() const { return samples; }
    const QVector<HistoryEvent> &shownEvents() const { return events; }
    const QVector<HistoryOscillogram> &shownOscillograms() const { return oscillograms; }
    const QString &lastError() const { return error; }
    HistoryPlot *currentsPlot() const { return currents; }
    // The period's samples as `orbix history export` writes them.
    QByteArray csv() const;

private slots:
    void onShow();
    void onExportCsv();
    void onOpenOscillogram();
    void onExportOscillogram();

private:
    void setupControls(QLayout *layout);
    QWidget *setupSideColumn();
    void fillPlots();
    void fillEvents();
    void fillOscillograms();
    void say(const QString &text);
    bool loadOscillogram(CrashOscillogramPacket &block);

    std::unique_ptr<HistoryStore> store;
    QString path;
    QString error;
    QVector<HistoryDevice> deviceList;
    int shownDevice = -1;
    QVector<HistorySample> samples;
    QVector<HistoryEvent> events;
    QVector<HistoryOscillogram> oscillograms;

    QComboBox *deviceBox = nullptr;
    QComboBox *periodBox = nullptr;
    QDateTimeEdit *fromEdit = nullptr;
    QDateTimeEdit *toEdit = nullptr;
    QLabel *statusLabel = nullptr;
    HistoryPlot *currents = nullptr;
    HistoryPlot *voltages = nullptr;
    HistoryPlot *temperature = nullptr;
    QTableWidget *eventTable = nullptr;
    QListWidget *oscillogramList = nullptr;
};
