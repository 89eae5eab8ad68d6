// The PDF report read back with poppler's tools: every text where the layout puts it
// and in the rows each modification has, the crash section only with an
// oscillogram, the protocol's page break that keeps a crash entry whole, the plots
// drawn inside their rectangles, every text on the page; and the file written whole
// or not at all. Run again by CTest at 72 and 192 dots per inch of screen.
#include "report/reportbuilder.h"
#include "tests/report/pdfdocument.h"
#include "tests/report/reportsample.h"

#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

#include <ctime>
#include <map>

namespace {

const QDateTime kReportTime(QDate(2024, 3, 5), QTime(14, 7));
constexpr int kRenderDpi = 100;
// pdftotext places a word's left edge at its glyph origin; its bottom is the
// baseline plus the font's descent.
constexpr double kXTolerance = 1.5;
constexpr double kDescentAtMost = 6.0;
// More pixels of a curve's colour than a legend's sample line has.
constexpr int kLeastCurvePixels = 150;
constexpr int kColourTolerance = 3;
const QRectF kLogoRect(580, -20, 157, 30);

struct Sample {
    const char *name;
    int modification;
    int currentScale;
    bool oscillogram;
    CurrentAxis axis;
};
// The v60 report's characteristic spreads the currents linearly, as a user may choose.
const Sample kSamples[] = {{"v40", 40, 1, false, CurrentAxis::Logarithmic},
                           {"v60", 60, 1, false, CurrentAxis::Linear},
                           {"v70", 70, 10, true, CurrentAxis::Logarithmic},
                           {"v80", 80, 2, true, CurrentAxis::Logarithmic}};

constexpr double kPointsPerMm = 72 / 25.4;
constexpr double kUnitsPerPoint = 96.0 / 72;

// The row of the state section's title and the row after its last line, by report.
int stateTitleRow(const QString &report)
{
    return report == "v40" || report == "v60" ? 15 : 16;
}

int rowAfterState(const QString &report)
{
    return stateTitleRow(report) + (report == "v80" ? 8 : 7);
}

double rowY(int row)
{
    return 40 + 12 * row;
}

QVector<QRectF> plotRects(const QString &report, int page)
{
    const double shift = 12 * rowAfterState(report);
    if (page == 0)
        return {QRectF(45, 40 + shift, 680, 300), QRectF(45, 380 + shift, 680, 300)};
    if (page == 1 && (report == "v70" || report == "v80"))
        return {QRectF(35, 0, 680, 400), QRectF(40, 444, 645, 400)};
    return {QRectF(35, 0, 680, 400)};
}

bool near(QRgb pixel, const QColor &colour)
{
    return qAbs(qRed(pixel) - colour.red()) <= kColourTolerance && qAbs(qGreen(pixel) - colour.green()) <= kColourTolerance
        && qAbs(qBlue(pixel) - colour.blue()) <= kColourTolerance;
}

QString pdfTitle(const QString &path)
{
    QProcess p;
    p.start("pdfinfo", {path});
    if (!p.waitForFinished(30000))
        return QString();
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n'))
        if (line.startsWith("Title:"))
            return line.mid(6).trimmed();
    return QString();
}

} // namespace

class TestReportBuilder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void texts_data();
    void texts();
    void absentTexts_data();
    void absentTexts();
    void currentAxisAsChosen_data();
    void currentAxisAsChosen();
    void pageCount_data();
    void pageCount();
    void everyWordOnThePage_data();
    void everyWordOnThePage();
    void plotsInsideTheirRectangles_data();
    void plotsInsideTheirRectangles();
    void documentName();
    void unwritableTarget_data();
    void unwritableTarget();
    void replacesWholeAndLeavesNothingElse();
    void newReportFollowsTheUmask_data();
    void newReportFollowsTheUmask();

private:
    const PdfDocument &doc(const QString &name) const { return *docs.at(name); }
    void addReportRows();

    QTemporaryDir dir;
    const QMarginsF margins = ReportBuilder::pageMargins() * kPointsPerMm;
    std::map<QString, std::unique_ptr<PdfDocument>> docs;
};

void TestReportBuilder::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
    for (const Sample &s : kSamples) {
        const ReportSample sample(s.modification, s.currentScale, s.oscillogram);
        ReportData data = sample.data();
        data.currentAxis = s.axis;
        const QString path = dir.filePath(QString(s.name) + ".pdf");
        ReportBuilder builder(path, data, kReportTime);
        QVERIFY2(builder.build(), qPrintable(builder.failureText()));
        auto pdf = std::make_unique<PdfDocument>(path, QPointF(margins.left(), margins.top()));
        QVERIFY2(pdf->isValid(), qPrintable(pdf->error()));
        docs[s.name] = std::move(pdf);
    }
}

// report, page (from 0), text, x and baseline y in units.
void TestReportBuilder::texts_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    addReportRows();
}

void TestReportBuilder::addReportRows()
{
    const auto add = [](const QString &report, int page, const QString &text, double x, double y) {
        QTest::newRow(qPrintable(QString("%1 p%2 %3").arg(report).arg(page + 1).arg(text))) << report << page << text << x << y;
    };
    // The header: digit grouping of the Russian locale.
    add("v70", 0, "ОРБИКС-11 5-50 v0.70 / 3 / 57 600 / 8O1 / COM41", 0, 0);
    add("v40", 0, "ОРБИКС-11 5-50 v0.40 / 3 / 57 600 / 8O1 / COM41", 0, 0);
    // Every setting of a modification 70 device, left column then right.
    const QStringList left = {"Номинальный ток двигателя:", "12.3А", "Минимальный ток двигателя, от номинального:", "25%",
                              "Порог защиты от перегрузки, кратность тока:", "3",
                              "Время реакции защиты от перегрузки:", "1500 мсек",
                              "Порог отключения по перекосу токов фаз:", "30%", "Задержка включения:", "5 сек",
                              "Допустимое количество оборваных фаз:", "1",
                              "Время отключения при двукратной перегрузке:", "60 сек",
                              "Порог срабатывания защиты по термодатчику РТ100:", "120°С",
                              "Коэффициент коррекции минимально допустимого тока:", "-0.5",
                              "Быстродействующая защита", "РАЗРЕШЕНО", "Автоматическое повторное включение", "ЗАПРЕЩЕНО",
                              "Защита по термодатчику РТС", "РАЗРЕШЕНО", "Защита по датчику влажности", "ЗАПРЕЩЕНО"};
    add("v70", 0, "Конфигурация ОРБИКС", 0, 40);
    for (int i = 0; i < left.size(); i += 2) {
        add("v70", 0, left[i], 0, rowY(1 + i / 2));
        add("v70", 0, left[i + 1], 300, rowY(1 + i / 2));
    }
    const QStringList right = {"Допуск на напряжение питающих фаз:", "Минус 25 + 20%",
                               "Время работы двигателя в цикл. режиме:", "600 мин",
                               "Время простоя двигателя в цикл. режиме:", "300 мин",
                               "Функция входа 1:", "Пуск(Трёхпроводное управление)",
                               "Функция входа 2:", "Датчик влажности", "Функция силового выхода:", "Звезда",
                               "Функция доп. выхода:", "Управление расцепителем", "Задержка переключения:", "2 сек",
                               "Время срабатывания защиты от перекоса токов:", "1200 мсек",
                               "Выбор порога защиты по изоляции:", "0,55МОм", "Дистанционное управление", "РАЗРЕШЕНО",
                               "Проверка последовательности фаз", "ЗАПРЕЩЕНО", "Защита по термодатчику РТ100", "РАЗРЕШЕНО",
                               "Циклическая работа по таймеру", "ЗАПРЕЩЕНО"};
    for (int i = 0; i < right.size(); i += 2) {
        add("v70", 0, right[i], 390, rowY(i / 2));
        add("v70", 0, right[i + 1], 660, rowY(i / 2));
    }
    // What depends on the modification and the current scale.
    add("v60", 0, "123А", 300, 52);
    add("v80", 0, "61.5А", 300, 52);
    add("v60", 0, "Быстродействующая защита", 0, 160);
    add("v60", 0, "Защита по датчику влажности", 0, 196);
    add("v60", 0, "1200 мсек", 660, 136);
    add("v60", 0, "1,1МОм", 660, 148);
    add("v40", 0, "2550 мсек", 660, 136);
    add("v40", 0, "1,1МОм", 660, 148);
    add("v80", 0, "-0.5", 300, 160);
    // The state section: under the right column, or under the switches when they reach further.
    const QStringList state = {"Двигатель работает", "Термодатчик норма", "Термодатчик РТ100 замыкание",
                               "Влажность вода", "Наработка двигателя: 1234ч."};
    for (const QString report : {"v60", "v70"}) {
        const int title = stateTitleRow(report);
        add(report, 0, "Состояние ОРБИКС", 0, rowY(title));
        add(report, 0, "Аварий нет", 0, rowY(title + 1));
        for (int i = 0; i < state.size(); ++i)
            add(report, 0, state[i], 0, rowY(title + 2 + i));
    }
    add("v80", 0, "Авария: перегрузка по току (среднебыстродействующая защита)", 0, rowY(17));
    add("v80", 0, "Количество пусков двигателя: 56789", 0, rowY(23));
    // Page 2: the crash section with an oscillogram, the protocol under it or at 440.
    add("v70", 1, "Авария: Тепловая перегрузка двигателя (32)", 0, 420);
    add("v70", 1, "Время окончания записи осциллограммы: 14.11.2023 22:46:40", 0, 432);
    add("v70", 1, "Протокол работы ОРБИКС", 0, 876);
    add("v70", 1, "14.11.23 22:30:00", 0, 888);
    add("v70", 1, "Остановка двигателя", 120, 888);
    add("v70", 1, "14.11.23 22:28:40", 0, 888 + 8 * 17); // the last entry before the break
    add("v60", 1, "Протокол работы ОРБИКС", 0, 440);
    add("v60", 1, "14.11.23 22:30:00", 0, 452);
    // The crash entry fits: nine entries of one line above it, 5 units apart.
    add("v60", 1, "14.11.23 22:28:30", 0, 440 + 9 * 5 + 12 * 10);
    add("v60", 1, "Ток А: 123А", 120, 440 + 9 * 5 + 12 * 11);
    add("v60", 1, "Напр. C: 380В", 120, 440 + 9 * 5 + 12 * 16);
    // The crash entry that would not fit whole starts page 3 with its six lines.
    const QStringList crash = {"Перегрузка по току (среднебыстродействующая защита)", "Ток А: 12.3А", "Ток B: 12.3А",
                               "Ток C: 12.3А", "Напр. А: 380В", "Напр. B: 380В", "Напр. C: 380В"};
    add("v70", 2, "14.11.23 22:28:30", 0, 0);
    for (int i = 0; i < crash.size(); ++i)
        add("v70", 2, crash[i], 120, 12 * i);
    add("v70", 2, "14.11.23 22:28:20", 0, 5 + 12 * 7);
    add("v70", 2, "14.11.23 22:27:50", 0, 15 + 12 * 15);
    add("v80", 2, "Ток А: 61.5А", 120, 12);
    // Footers on every page after the first.
    for (const QString report : {"v60", "v70"})
        for (int page = 1; page < (report == "v70" ? 3 : 2); ++page)
            add(report, page, "Дата формирования отчёта: 05.03.2024", 540, 1060);
}

void TestReportBuilder::texts()
{
    QFETCH(QString, report);
    QFETCH(int, page);
    QFETCH(QString, text);
    QFETCH(double, x);
    QFETCH(double, y);
    const QRectF box = doc(report).findNear(page, text, QPointF(x, y));
    QVERIFY2(!box.isNull(), qPrintable("not found; the page's lines at x: " + doc(report).linesAt(page, x).join(" | ")));
    QVERIFY2(qAbs(box.left() - x) <= kXTolerance, qPrintable(QString("x %1").arg(box.left())));
    QVERIFY2(box.top() < y && y <= box.bottom() && box.bottom() - y < kDescentAtMost,
             qPrintable(QString("from %1 to %2").arg(box.top()).arg(box.bottom())));
}

void TestReportBuilder::absentTexts_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("text");
    QTest::newRow("v60 correction") << "v60" << "Коэффициент коррекции";
    QTest::newRow("v40 correction") << "v40" << "Коэффициент коррекции";
    QTest::newRow("v70 start count") << "v70" << "Количество пусков";
    QTest::newRow("v60 crash section") << "v60" << "Время окончания записи осциллограммы:";
    QTest::newRow("v60 crash heading") << "v60" << "Авария: Тепловая";
    QTest::newRow("v40 footer on page 1") << "v40" << "Дата формирования отчёта:";
}

void TestReportBuilder::absentTexts()
{
    QFETCH(QString, report);
    QFETCH(QString, text);
    const bool firstPageOnly = text.startsWith("Дата");
    const int pages = firstPageOnly ? 1 : doc(report).pageCount();
    for (int page = 0; page < pages; ++page)
        QVERIFY2(doc(report).findAll(page, text).isEmpty(), qPrintable(QString("on page %1").arg(page + 1)));
}

// The characteristic's current axis as the report's data say, whatever the settings:
// linear labels in steps of 500 A, logarithmic ones in decades.
void TestReportBuilder::currentAxisAsChosen_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("shown");
    QTest::newRow("v60 linear 500") << "v60" << "500" << true;
    QTest::newRow("v60 linear 1,500") << "v60" << "1,500" << true;
    QTest::newRow("v40 logarithmic 500") << "v40" << "500" << false;
    QTest::newRow("v40 logarithmic 1,500") << "v40" << "1,500" << false;
    QTest::newRow("v40 logarithmic 10") << "v40" << "10" << true;
}

void TestReportBuilder::currentAxisAsChosen()
{
    QFETCH(QString, report);
    QFETCH(QString, label);
    QFETCH(bool, shown);
    QCOMPARE(!doc(report).findAll(1, label).isEmpty(), shown);
}

void TestReportBuilder::pageCount_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("pages");
    QTest::newRow("no oscillogram: the protocol fits on page 2") << "v60" << 2;
    QTest::newRow("with oscillogram: the protocol goes on to page 3") << "v70" << 3;
}

void TestReportBuilder::pageCount()
{
    QFETCH(QString, report);
    QFETCH(int, pages);
    QCOMPARE(doc(report).pageCount(), pages);
}

void TestReportBuilder::everyWordOnThePage_data()
{
    QTest::addColumn<QString>("report");
    for (const Sample &s : kSamples)
        QTest::newRow(s.name) << QString(s.name);
}

// Inside the printable area of an A4 page, the right column and the footer included;
// the device line above the area, but on the page.
void TestReportBuilder::everyWordOnThePage()
{
    QFETCH(QString, report);
    const PdfDocument &pdf = doc(report);
    const QMarginsF m = margins * kUnitsPerPoint;
    const QRectF printable(0, 0, pdf.pageWidth() - m.left() - m.right(), pdf.pageHeight() - m.top() - m.bottom());
    for (int page = 0; page < pdf.pageCount(); ++page)
        for (const PdfDocument::Word &w : pdf.words(page))
            QVERIFY2(w.box.left() >= printable.left() - kXTolerance && w.box.right() <= printable.right() + kXTolerance
                         && w.box.bottom() <= printable.bottom() && w.box.top() >= -m.top(),
                     qPrintable(QString("page %1: %2 at %3,%4 to %5,%6").arg(page + 1).arg(w.text).arg(w.box.left())
                                    .arg(w.box.top()).arg(w.box.right()).arg(w.box.bottom())));
}

void TestReportBuilder::plotsInsideTheirRectangles_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<QColor>("colour");
    const QColor phaseA("#FF9933"); // current A, temperature
    for (const QString report : {"v60", "v80"}) {
        const QVector<QRectF> first = plotRects(report, 0);
        QTest::newRow(qPrintable(report + " live")) << report << 0 << first[0] << phaseA;
        QTest::newRow(qPrintable(report + " temperature")) << report << 0 << first[1] << phaseA;
        QTest::newRow(qPrintable(report + " characteristic: rated current"))
            << report << 1 << plotRects(report, 1)[0] << QColor(Qt::red);
    }
    QTest::newRow("v80 characteristic: start") << "v80" << 1 << plotRects("v80", 1)[0] << QColor(Qt::green);
    QTest::newRow("v80 oscillogram") << "v80" << 1 << plotRects("v80", 1)[1] << phaseA;
}

// The curve's colour fills more than a legend line inside the plot's rectangle and
// appears nowhere outside the plots (texts are black).
void TestReportBuilder::plotsInsideTheirRectangles()
{
    QFETCH(QString, report);
    QFETCH(int, page);
    QFETCH(QRectF, rect);
    QFETCH(QColor, colour);
    const PdfDocument &pdf = doc(report);
    const QImage image = pdf.render(page, kRenderDpi);
    QVERIFY(!image.isNull());
    const QRect inside(pdf.pixel(rect.topLeft(), kRenderDpi), pdf.pixel(rect.bottomRight(), kRenderDpi));
    QVector<QRect> plots;
    for (const QRectF &r : plotRects(report, page) + QVector<QRectF> {kLogoRect})
        plots << QRect(pdf.pixel(r.topLeft(), kRenderDpi), pdf.pixel(r.bottomRight(), kRenderDpi));
    int in = 0;
    int out = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (!near(image.pixel(x, y), colour))
                continue;
            const QPoint p(x, y);
            in += inside.contains(p);
            out += std::none_of(plots.cbegin(), plots.cend(), [p](const QRect &r) { return r.contains(p); });
        }
    QVERIFY2(in >= kLeastCurvePixels, qPrintable(QString("%1 pixels inside").arg(in)));
    QCOMPARE(out, 0);
}

void TestReportBuilder::documentName()
{
    QCOMPARE(pdfTitle(dir.filePath("v70.pdf")), QString("Отчёт от 05.03.2024 14:07"));
}

void TestReportBuilder::unwritableTarget_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("a directory nobody may write, not even root") << "/proc/report.pdf";
    QTest::newRow("a directory that does not exist") << dir.filePath("missing/report.pdf");
    QTest::newRow("a file where the directory should be") << dir.filePath("v70.pdf/report.pdf");
}

void TestReportBuilder::unwritableTarget()
{
    QFETCH(QString, path);
    const ReportSample sample(70, 10, true);
    const ReportData data = sample.data();
    ReportBuilder builder(path, data, kReportTime);
    QVERIFY(!builder.build());
    QCOMPARE(builder.failure(), ReportBuilder::Failure::NotCreated);
    QVERIFY2(builder.failureText().contains(QFileInfo(path).absolutePath()), qPrintable(builder.failureText()));
    QVERIFY(!builder.systemError().isEmpty());
    QVERIFY(!QFileInfo::exists(path));
}

// An existing report is replaced by a whole one, keeping its permissions; nothing
// else is left in the directory.
void TestReportBuilder::replacesWholeAndLeavesNothingElse()
{
    QTemporaryDir target;
    const QString path = target.filePath("Отчёт.pdf");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));
    const ReportSample sample(60, 1, false);
    const ReportData data = sample.data();
    ReportBuilder builder(path, data, kReportTime);
    QVERIFY2(builder.build(), qPrintable(builder.failureText()));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"Отчёт.pdf"});
    const QFile::Permissions ownerGroupOther(0x7077);
    QCOMPARE(QFileInfo(path).permissions() & ownerGroupOther, permissions);
    QCOMPARE(PdfDocument(path, QPointF(margins.left(), margins.top())).pageCount(), 2);
}

void TestReportBuilder::newReportFollowsTheUmask_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("mode");
    QTest::newRow("022") << 022 << 0644;
    QTest::newRow("077: the owner's alone") << 077 << 0600;
    QTest::newRow("002: a shared group") << 002 << 0664;
}

void TestReportBuilder::newReportFollowsTheUmask()
{
    QFETCH(int, mask);
    QFETCH(int, mode);
    QTemporaryDir target;
    const QString path = target.filePath("report.pdf");
    const ReportSample sample(60, 1, false);
    const ReportData data = sample.data();
    ReportBuilder builder(path, data, kReportTime);
    const mode_t before = ::umask(mode_t(mask));
    const bool built = builder.build();
    ::umask(before);
    QVERIFY2(built, qPrintable(builder.failureText()));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), mode);
}

QTEST_MAIN(TestReportBuilder)
#include "tst_reportbuilder.moc"
