#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <QVector>

// A PDF read back as poppler's tools see it: its words with their boxes
// (pdftotext -bbox) and its pages as pictures (pdftoppm). Boxes and picture
// positions are in report units (1/96 inch) from the top left of the printable area.
class PdfDocument
{
public:
    struct Word {
        QString text;
        QRectF box;
    };

    // margins: left and top of the printable area, in points.
    PdfDocument(const QString &path, const QPointF &margins);
    bool isValid() const { return !pages.isEmpty(); }
    QString error() const { return problem; }
    int pageCount() const { return pages.size(); }
    double pageWidth() const { return width; }
    double pageHeight() const { return height; }
    const QVector<Word> &words(int page) const { return pages[page]; }

    // The boxes of a phrase wherever its words stand in a row on one line; page from 0.
    QVector<QRectF> findAll(int page, const QString &phrase) const;
    // Of those, the one whose start of baseline is nearest to the point; a null box
    // when the phrase is nowhere on the page.
    QRectF findNear(int page, const QString &phrase, const QPointF &baselineStart) const;
    // Every line of a page that starts at x, as text, top to bottom.
    QStringList linesAt(int page, double x) const;
    // The page at dpi dots per inch, without smoothing; a null image on failure.
    QImage render(int page, int dpi) const;
    // A point of the page picture rendered at dpi.
    QPoint pixel(const QPointF &unitPoint, int dpi) const;

private:
    bool load();
    QRectF toUnits(double xMin, double yMin, double xMax, double yMax) const;
    QVector<QVector<Word>> lines(int page) const;
    static bool matches(const QVector<Word> &line, int first, const QStringList &words, QRectF &box);

    QString path;
    QPointF margins;
    QVector<QVector<Word>> pages;
    double width = 0;  // the whole page, in units
    double height = 0;
    QString problem;
};
