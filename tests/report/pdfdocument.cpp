#include "tests/report/pdfdocument.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>

namespace {
constexpr double kUnitsPerPoint = 96.0 / 72.0;
constexpr int kToolTimeoutMs = 30000;
// Words whose baselines are this close stand on one line.
constexpr double kSameLine = 2.0;

bool runTool(const QString &program, const QStringList &args, QByteArray &out, QString &error)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(kToolTimeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        p.waitForFinished();
        error = program + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAllStandardError()) + p.errorString();
        return false;
    }
    out = p.readAllStandardOutput();
    return true;
}
} // namespace

PdfDocument::PdfDocument(const QString &file, const QPointF &pageMargins) : path(file), margins(pageMargins)
{
    if (!load())
        pages.clear();
}

bool PdfDocument::load()
{
    QByteArray xhtml;
    if (!runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")}, xhtml, problem))
        return false;
    QXmlStreamReader xml(xhtml);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("page")) {
            pages.append(QVector<Word>());
            width = a.value(QLatin1String("width")).toDouble() * kUnitsPerPoint;
            height = a.value(QLatin1String("height")).toDouble() * kUnitsPerPoint;
        } else if (xml.name() == QLatin1String("word") && !pages.isEmpty()) {
            const QRectF box = toUnits(a.value(QLatin1String("xMin")).toDouble(), a.value(QLatin1String("yMin")).toDouble(),
                                       a.value(QLatin1String("xMax")).toDouble(), a.value(QLatin1String("yMax")).toDouble());
            pages.last().append({xml.readElementText(), box});
        }
    }
    if (xml.hasError())
        problem = xml.errorString();
    return !xml.hasError() && !pages.isEmpty();
}

QRectF PdfDocument::toUnits(double xMin, double yMin, double xMax, double yMax) const
{
    return QRectF(QPointF((xMin - margins.x()) * kUnitsPerPoint, (yMin - margins.y()) * kUnitsPerPoint),
                  QPointF((xMax - margins.x()) * kUnitsPerPoint, (yMax - margins.y()) * kUnitsPerPoint));
}

// The words of a page grouped by line (their bottoms close), each line left to right.
QVector<QVector<PdfDocument::Word>> PdfDocument::lines(int page) const
{
    QVector<Word> sorted = pages.value(page);
    std::sort(sorted.begin(), sorted.end(), [](const Word &a, const Word &b) {
        return qAbs(a.box.bottom() - b.box.bottom()) > kSameLine ? a.box.bottom() < b.box.bottom()
                                                                 : a.box.left() < b.box.left();
    });
    QVector<QVector<Word>> out;
    for (const Word &w : sorted) {
        if (out.isEmpty() || qAbs(out.last().last().box.bottom() - w.box.bottom()) > kSameLine)
            out.append(QVector<Word>());
        out.last().append(w);
    }
    return out;
}

bool PdfDocument::matches(const QVector<Word> &line, int first, const QStringList &words, QRectF &box)
{
    if (first + words.size() > line.size())
        return false;
    box = line[first].box;
    for (int k = 0; k < words.size(); ++k) {
        if (line[first + k].text != words[k])
            return false;
        box |= line[first + k].box;
    }
    return true;
}

QVector<QRectF> PdfDocument::findAll(int page, const QString &phrase) const
{
    const QStringList wanted = phrase.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QVector<QRectF> found;
    QRectF box;
    for (const QVector<Word> &line : lines(page))
        for (int i = 0; i < line.size(); ++i)
            if (matches(line, i, wanted, box))
                found << box;
    return found;
}

// A box's bottom is its baseline plus the font's descent: near enough to tell rows apart.
QRectF PdfDocument::findNear(int page, const QString &phrase, const QPointF &baselineStart) const
{
    QRectF nearest;
    double best = 0;
    for (const QRectF &box : findAll(page, phrase)) {
        const double distance = (box.bottomLeft() - baselineStart).manhattanLength();
        if (nearest.isNull() || distance < best) {
            nearest = box;
            best = distance;
        }
    }
    return nearest;
}

QStringList PdfDocument::linesAt(int page, double x) const
{
    QStringList out;
    for (const QVector<Word> &line : lines(page)) {
        QStringList texts;
        for (const Word &w : line)
            if (w.box.left() >= x - kSameLine)
                texts << w.text;
        if (!texts.isEmpty() && qAbs(line.first().box.left() - x) <= kSameLine)
            out << texts.join(QLatin1Char(' '));
    }
    return out;
}

QImage PdfDocument::render(int page, int dpi) const
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    const QString number = QString::number(page + 1);
    QByteArray ignored;
    QString error;
    if (!runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                                              QStringLiteral("-aa"), QStringLiteral("no"), QStringLiteral("-aaVector"),
                                              QStringLiteral("no"), QStringLiteral("-f"), number, QStringLiteral("-l"),
                                              number, QStringLiteral("-singlefile"), path, base},
                 ignored, error))
        return QImage();
    return QImage(base + QStringLiteral(".png"));
}

QPoint PdfDocument::pixel(const QPointF &unitPoint, int dpi) const
{
    const double pointsPerUnit = 1.0 / kUnitsPerPoint;
    return QPoint(qRound((margins.x() + unitPoint.x() * pointsPerUnit) * dpi / 72.0),
                  qRound((margins.y() + unitPoint.y() * pointsPerUnit) * dpi / 72.0));
}
