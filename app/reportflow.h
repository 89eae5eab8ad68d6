#pragma once

#include <QCoreApplication>
#include <QString>

class MainWindow;
struct ReportData;

// The report button's flow: the file asked for, the document filled from the
// window's connection (its newest blocks, samples and protocol) with the window's
// current axis, and the user told how it went: "Отчёт готов" only for a complete
// file, else a warning naming the file and the reason.
class ReportFlow
{
    Q_DECLARE_TR_FUNCTIONS(ReportFlow)

public:
    static constexpr int kStartStatusMs = 3000;
    static constexpr int kReadyStatusMs = 6000;

    explicit ReportFlow(MainWindow &window);
    // Asks for the file name, then writes the report.
    void run();
    // The name the file dialog proposes: the folder saved in last and the time.
    static QString proposedFileName();

private:
    bool write(const QString &fileName);
    ReportData data() const;
    void warnNotWritten(const QString &fileName, const QString &reason);

    MainWindow &window;
};
