#include "report/reportbuilder.h"

#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolevent.h"
#include "device/protocolevent.h"
#include "device/protocollist.h"
#include "plots/crashplot.h"
#include "plots/runconfigplot.h"
#include "plots/tempplot.h"
#include "plots/watchplot.h"
#include "report/reportcanvas.h"
#include "report/reportdata.h"
#include "report/reporttexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPrinter>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

// The logos live in a static library: their registration must be asked for.
static void initReportImages()
{
    Q_INIT_RESOURCE(img);
}

static_assert(ReportData::kLiveColumns == WatchPlot::kCurves, "the live samples are the live plot's columns");
static_assert(ReportData::kTemperatureColumns == TempPlot::ColumnCount,
              "the temperature samples are the temperature plot's columns");

namespace {

// Rows of text are 12 units apart from y = 40 on.
constexpr double kFirstRowY = 40;
constexpr double kRowHeight = 12;
double rowY(int row)
{
    return kFirstRowY + kRowHeight * row;
}

const char kHeadingFamily[] = "Arial";
constexpr double kDeviceLinePoints = 14;
constexpr double kHeadingPoints = 12;
// The default font's size on the screens the layout was drawn for; at the default
// size of other desktops (up to 12 points) rows 12 units apart would overlap.
constexpr double kBodyPoints = 8;

const char kLogo[] = ":/img/logo.png";
const char kLogoOver[] = ":/img/logo2.png";
const QRectF kLogoRect(580, -20, 157, 30);

// Page 1: labels and values of the two columns.
constexpr double kLabelX = 0;
constexpr double kValueX = 300;
constexpr double kRightLabelX = 390;
constexpr double kRightValueX = 660;
// A text ends this far before the next one on its row begins.
constexpr double kColumnGap = 4;
// The state section starts no higher than this row: the right column ends at row 13.
constexpr int kLeastStateRow = 14;
// Shifted down by 12 units per row of text above them.
const QRectF kLivePlotRect(45, 40, 680, 300);
const QRectF kTempPlotRect(45, 380, 680, 300);

// Page 2.
const QRectF kCharacteristicRect(35, 0, 680, 400);
constexpr double kCrashHeadingY = 420;
constexpr double kTripTimeY = 432;
const QRectF kCrashPlotRect(40, 444, 645, 400);
const QPointF kFooter(540, 1060);
constexpr double kProtocolY = 440;
constexpr double kProtocolYAfterCrash = 840;
constexpr int kProtocolRowsAfterCrash = 3;
constexpr double kEntryGap = 5;
constexpr double kEntryTextX = 120;

// Qt's own 10 points would put the logo and the device line partly above the page,
// and leave the right column less room.
constexpr double kSideMarginMm = 4;
constexpr double kTopMarginMm = 10;
constexpr double kBottomMarginMm = 5;

#ifndef Q_OS_WIN
// A new report file gets what the user's umask leaves of read and write for all, as
// every other file a program creates (the temporary file the printer wrote is 0600).
// Windows has no such bits: a new file takes its folder's rights there.
QFile::Permissions newFilePermissions()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = 0666 & ~mask;
    QFile::Permissions p;
    const std::pair<mode_t, QFile::Permissions> bits[] = {
        {S_IRUSR, QFile::ReadOwner | QFile::ReadUser}, {S_IWUSR, QFile::WriteOwner | QFile::WriteUser},
        {S_IRGRP, QFile::ReadGroup}, {S_IWGRP, QFile::WriteGroup}, {S_IROTH, QFile::ReadOther},
        {S_IWOTH, QFile::WriteOther}};
    for (const auto &[bit, permission] : bits)
        if (mode & bit)
            p |= permission;
    return p;
}
#endif
// The last bytes a complete PDF holds.
const char kPdfEnd[] = "%%EOF";
constexpr int kPdfTailBytes = 32;

QwtText plotTitle(const QString &text)
{
    QwtText title(text);
    title.setFont(QFont(QLatin1String(kHeadingFamily), int(kHeadingPoints)));
    return title;
}

bool endsLikePdf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < kPdfTailBytes)
        return false;
    file.seek(file.size() - kPdfTailBytes);
    return file.read(kPdfTailBytes).contains(kPdfEnd);
}

} // namespace

ReportBuilder::ReportBuilder(const QString &name, const ReportData &reportData, const QDateTime &time)
    : fileName(name), data(reportData), reportTime(time)
{
    initReportImages();
}

ReportBuilder::~ReportBuilder() = default;

bool ReportBuilder::build()
{
    const QFileInfo target(fileName);
    QString partPath;
    {
        // Beside the target, so that the rename stays on one file system. Let go at once:
        // Windows keeps a temporary file open while its object lives, and an open file is
        // not renamed there.
        QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
        if (!part.open())
            return fail(Failure::NotCreated, part.errorString());
        part.setAutoRemove(false);
        partPath = part.fileName(); // the printer writes it by its name
    }
    if (writeTo(partPath) && moveOver(partPath, target))
        return true;
    QFile::remove(partPath);
    return false;
}

#ifdef Q_OS_WIN
// A rename does not replace a file on Windows: MoveFileEx does, in one step as far as
// the file system allows. A report open in a viewer is locked, which the user can
// mend: said so rather than in the system's words alone.
bool ReportBuilder::moveOver(const QString &partPath, const QFileInfo &target)
{
    const QString from = QDir::toNativeSeparators(partPath);
    const QString to = QDir::toNativeSeparators(target.absoluteFilePath());
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD code = GetLastError();
    const bool locked = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION
        || (code == ERROR_ACCESS_DENIED && target.exists());
    return fail(locked ? Failure::TargetLocked : Failure::NotRenamed, qt_error_string(int(code)));
}
#else
bool ReportBuilder::moveOver(const QString &partPath, const QFileInfo &target)
{
    QFile::setPermissions(partPath, target.exists() ? target.permissions() : newFilePermissions());
    if (std::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return fail(Failure::NotRenamed, QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}
#endif

bool ReportBuilder::writeTo(const QString &partPath)
{
    preparePlots();
    QPrinter printer(QPrinter::HighResolution);
    setupPrinter(printer, partPath);
    ReportCanvas canvas(printer);
    if (!canvas.isActive())
        return fail(Failure::NotStarted, QString());
    paint(canvas);
    const bool ended = canvas.end();
    livePlot.reset();
    tempPlot.reset();
    characteristicPlot.reset();
    crashPlot.reset();
    if (!ended || !endsLikePdf(partPath))
        return fail(Failure::Incomplete, QString());
    return true;
}

bool ReportBuilder::fail(Failure failure, const QString &text)
{
    failed = failure;
    systemText = text;
    return false;
}

QString ReportBuilder::failureText() const
{
    const QString folder = QFileInfo(fileName).absolutePath();
    switch (failed) {
    case Failure::None: return QString();
    case Failure::NotCreated: return tr("в папке %1 нельзя создать файл: %2").arg(folder, systemText);
    case Failure::NotStarted: return tr("документ PDF не удалось начать");
    case Failure::Incomplete: return tr("документ PDF записан не полностью");
    case Failure::NotRenamed: return tr("готовый документ не удалось переименовать: %1").arg(systemText);
    case Failure::TargetLocked:
        return tr("файл %1 открыт в другой программе или защищён от записи: закройте его и сохраните отчёт снова (%2)")
            .arg(QDir::toNativeSeparators(fileName), systemText);
    }
    return QString();
}

// The plots as the screen shows them, with the report's titles; the characteristic
// builds its protection curve at once, in this thread.
void ReportBuilder::preparePlots()
{
    livePlot = std::make_unique<WatchPlot>();
    livePlot->setCurrentScale(CurrentScale(data.device.currentScale));
    livePlot->setInterval(data.plotInterval);
    livePlot->showSamples(data.liveSamples);
    livePlot->setTitle(plotTitle(tr("Значения фазных токов и напряжений")));
    tempPlot = std::make_unique<TempPlot>();
    tempPlot->setInterval(data.plotInterval);
    tempPlot->showSamples(data.temperatureSamples);
    tempPlot->setTitle(plotTitle(tr("Температура")));
    characteristicPlot = std::make_unique<RunConfigPlot>(data.currentAxis);
    characteristicPlot->setCurrentScale(data.device.currentScale);
    characteristicPlot->setProtectionSettings(data.protection);
    characteristicPlot->setStartCharacteristic(data.startCharacteristic);
    characteristicPlot->buildProtectionGraph(RunConfigPlot::BuildMode::Synchronous);
    characteristicPlot->setTitle(plotTitle(tr("Токо-временная характеристика")));
    if (data.oscillogram) {
        crashPlot = std::make_unique<CrashPlot>();
        crashPlot->setAnchorValue(data.device.minRatedCurrent);
        crashPlot->setData(*data.oscillogram);
    }
}

QMarginsF ReportBuilder::pageMargins()
{
    return QMarginsF(kSideMarginMm, kTopMarginMm, kSideMarginMm, kBottomMarginMm);
}

// A4 whatever the locale: the layout needs about 800 by 1060 units, which a US
// letter page does not have.
void ReportBuilder::setupPrinter(QPrinter &printer, const QString &path) const
{
    printer.setOutputFileName(path);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setDocName(ReportTexts::documentName(reportTime));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(pageMargins(), QPageLayout::Millimeter);
}

void ReportBuilder::paint(ReportCanvas &canvas)
{
    drawLogo(canvas, kLogo);
    drawHeader(canvas);
    const int switchesEnd = drawSettings(canvas);
    drawRightColumn(canvas);
    const int n = drawState(canvas, qMax(switchesEnd, kLeastStateRow));
    drawLogo(canvas, kLogoOver);
    canvas.drawPlot(*livePlot, kLivePlotRect.translated(0, kRowHeight * n));
    canvas.drawPlot(*tempPlot, kTempPlotRect.translated(0, kRowHeight * n));
    canvas.newPage();
    canvas.drawPlot(*characteristicPlot, kCharacteristicRect);
    if (crashPlot)
        drawCrashSection(canvas);
    drawFooter(canvas);
    drawProtocol(canvas);
}

void ReportBuilder::drawLogo(ReportCanvas &canvas, const char *image) const
{
    canvas.drawImage(kLogoRect, QImage(QLatin1String(image)));
}

void ReportBuilder::drawHeader(ReportCanvas &canvas) const
{
    canvas.setFont(QLatin1String(kHeadingFamily), kDeviceLinePoints);
    canvas.drawText(kLabelX, 0, ReportTexts::deviceLine(data.device), kLogoRect.left() - kColumnGap);
}

// Returns the row after the last switch row.
int ReportBuilder::drawSettings(ReportCanvas &canvas) const
{
    canvas.setFont(QLatin1String(kHeadingFamily), kHeadingPoints);
    canvas.drawText(kLabelX, rowY(0), tr("Конфигурация ОРБИКС"), kRightLabelX - kColumnGap);
    canvas.setFont(QString(), kBodyPoints);
    const ConfigPacket &config = *data.configuration;
    int row = 1;
    const auto rows = ReportTexts::settingsRows(config, data.version, data.device.currentScale)
        + ReportTexts::switchRows(config);
    for (const ReportTexts::Row &r : rows) {
        canvas.drawText(kLabelX, rowY(row), r.label, kValueX - kColumnGap);
        canvas.drawText(kValueX, rowY(row++), r.value, kRightLabelX - kColumnGap);
    }
    return row;
}

void ReportBuilder::drawRightColumn(ReportCanvas &canvas) const
{
    const double right = canvas.pageSize().width();
    int row = 0;
    for (const ReportTexts::Row &r : ReportTexts::rightColumnRows(*data.configuration, data.version)) {
        canvas.drawText(kRightLabelX, rowY(row), r.label, kRightValueX - kColumnGap);
        canvas.drawText(kRightValueX, rowY(row++), r.value, right);
    }
}

// From row s + 1; returns the row after the last state row.
int ReportBuilder::drawState(ReportCanvas &canvas, int s) const
{
    const double right = canvas.pageSize().width();
    canvas.setFont(QLatin1String(kHeadingFamily), kHeadingPoints);
    canvas.drawText(kLabelX, rowY(s + 1), tr("Состояние ОРБИКС"), right);
    canvas.setFont(QString(), kBodyPoints);
    int row = s + 2;
    for (const QString &line : ReportTexts::stateLines(*data.monitoring, data.version))
        canvas.drawText(kLabelX, rowY(row++), line, right);
    return row;
}

void ReportBuilder::drawCrashSection(ReportCanvas &canvas) const
{
    const double right = canvas.pageSize().width();
    canvas.drawText(kLabelX, kCrashHeadingY, ReportTexts::crashHeading(data.oscillogram->faultCode()), right);
    canvas.drawText(kLabelX, kTripTimeY, ReportTexts::tripTimeLine(data.oscillogram->tripTime()), right);
    canvas.drawPlot(*crashPlot, kCrashPlotRect);
}

void ReportBuilder::drawFooter(ReportCanvas &canvas) const
{
    canvas.drawText(kFooter.x(), kFooter.y(), ReportTexts::footer(reportTime), canvas.pageSize().width());
}

// Newest first, 5 units between entries; an entry that would not fit on the page,
// a crash entry with its six lines, starts the next page.
void ReportBuilder::drawProtocol(ReportCanvas &canvas) const
{
    double base = crashPlot ? kProtocolYAfterCrash : kProtocolY;
    int row = crashPlot ? kProtocolRowsAfterCrash : 0;
    canvas.setFont(QLatin1String(kHeadingFamily), kHeadingPoints);
    canvas.drawText(kLabelX, base + kRowHeight * row, tr("Протокол работы ОРБИКС"), canvas.pageSize().width());
    canvas.setFont(QString(), kBodyPoints);
    ++row;
    const int entries = data.protocol ? data.protocol->size() : 0;
    for (int i = 0; i < entries; ++i) {
        if (i > 0)
            base += kEntryGap;
        const bool crash = data.protocol->at(i).kind() == ProtocolEvent::CrashLog;
        const int extraLines = crash ? ReportTexts::kCrashEntryLines : 0;
        if (base + kRowHeight * (row + extraLines) > canvas.pageSize().height()) {
            canvas.newPage();
            drawFooter(canvas);
            base = 0;
            row = 0;
        }
        row = drawEntry(canvas, i, base, row);
    }
}

// Returns the row after the entry.
int ReportBuilder::drawEntry(ReportCanvas &canvas, int index, double base, int row) const
{
    const ProtocolEvent &entry = data.protocol->at(index);
    const double right = canvas.pageSize().width();
    canvas.drawText(kLabelX, base + kRowHeight * row, ReportTexts::entryTime(entry.time()), kEntryTextX - kColumnGap);
    canvas.drawText(kEntryTextX, base + kRowHeight * row++, entry.text(), right);
    if (entry.kind() != ProtocolEvent::CrashLog)
        return row;
    const auto &crash = static_cast<const CrashProtocolEvent &>(entry);
    for (const QString &line : ReportTexts::crashEntryLines(crash, data.device.currentScale))
        canvas.drawText(kEntryTextX, base + kRowHeight * row++, line, right);
    return row;
}
