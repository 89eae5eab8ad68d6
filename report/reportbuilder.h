#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QMarginsF>
#include <QString>

#include <memory>

class CrashPlot;
class QFileInfo;
class QPrinter;
class ReportCanvas;
class RunConfigPlot;
class TempPlot;
class WatchPlot;
struct ReportData;

// One PDF report of a device, built synchronously: page 1 with the device, its
// settings, its state and the live plots; page 2 with the protection characteristic,
// the crash oscillogram when there is one, and the protocol, which goes on over as
// many pages as it needs. The document is written beside the chosen file under a
// temporary name and takes the chosen name only once complete, so a failure never
// leaves a truncated report behind.
class ReportBuilder
{
    Q_DECLARE_TR_FUNCTIONS(ReportBuilder)

public:
    // TargetLocked: the file chosen is open in another program or read-only (Windows).
    enum class Failure { None, NotCreated, NotStarted, Incomplete, NotRenamed, TargetLocked };

    // reportTime: the date printed and in the document's name.
    ReportBuilder(const QString &fileName, const ReportData &data,
                  const QDateTime &reportTime = QDateTime::currentDateTime());
    ~ReportBuilder();
    ReportBuilder(const ReportBuilder &) = delete;
    ReportBuilder &operator=(const ReportBuilder &) = delete;

    // The whole document under the file name, or no file: false with failure() and
    // systemError() saying why.
    bool build();
    Failure failure() const { return failed; }
    // The system's words for the failure, where it gave any.
    QString systemError() const { return systemText; }
    // In Russian, for the window: what went wrong and why.
    QString failureText() const;
    // Of the A4 page, in millimetres: room above for the logo, which starts 20 units
    // above the layout's origin, and below for the footer at 1060.
    static QMarginsF pageMargins();

private:
    bool writeTo(const QString &partPath);
    void preparePlots();
    void setupPrinter(QPrinter &printer, const QString &path) const;
    void paint(ReportCanvas &canvas);
    void drawHeader(ReportCanvas &canvas) const;
    int drawSettings(ReportCanvas &canvas) const;
    void drawRightColumn(ReportCanvas &canvas) const;
    int drawState(ReportCanvas &canvas, int firstRow) const;
    void drawLogo(ReportCanvas &canvas, const char *image) const;
    void drawCrashSection(ReportCanvas &canvas) const;
    void drawFooter(ReportCanvas &canvas) const;
    void drawProtocol(ReportCanvas &canvas) const;
    int drawEntry(ReportCanvas &canvas, int index, double base, int row) const;
    bool fail(Failure failure, const QString &text);
    // The finished part takes the target's place, replacing a file there.
    bool moveOver(const QString &partPath, const QFileInfo &target);

    const QString fileName;
    const ReportData &data;
    const QDateTime reportTime;
    std::unique_ptr<WatchPlot> livePlot;
    std::unique_ptr<TempPlot> tempPlot;
    std::unique_ptr<RunConfigPlot> characteristicPlot;
    std::unique_ptr<CrashPlot> crashPlot;
    Failure failed = Failure::None;
    QString systemText;
};
