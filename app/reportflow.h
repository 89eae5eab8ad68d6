#pragma once

#include "ui/dataeventlistener.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

class MainWindow;
class WatchDataPacket;
struct ReportData;

// The report button's flow: the file asked for, the document built from the
// connection's newest blocks, the tabs' plots and the application protocol, and the
// user told how it went: "Отчёт готов" only for a complete file, else a warning
// naming the file and the reason. Keeps the newest monitoring block of the connection,
// as the data exchange's own stays in its thread; the configuration is the window's.
class ReportFlow : public DataEventListener
{
    Q_DECLARE_TR_FUNCTIONS(ReportFlow)

public:
    static constexpr int kStartStatusMs = 3000;
    static constexpr int kReadyStatusMs = 6000;

    explicit ReportFlow(MainWindow &window);
    ~ReportFlow() override;

    void onDataEvent(const DataEvent *event) override;
    // Asks for the file name, then writes the report.
    void run();
    // The name the file dialog proposes: the folder saved in last and the time.
    static QString proposedFileName();

private:
    bool write(const QString &fileName);
    ReportData data() const;
    void warnNotWritten(const QString &fileName, const QString &reason);

    MainWindow &window;
    std::unique_ptr<WatchDataPacket> monitoring;
};
