#pragma once

#include <QFont>
#include <QPainter>
#include <QSizeF>

class QImage;
class QPrinter;
class QRectF;
class QString;
class QwtPlot;

// Painting on a PDF printer in units of 1/96 inch, whatever the screen: the report
// was laid out on screens of that resolution, and at another one its right column
// and footer would leave the page. The printer keeps its own, finer resolution; the
// painter is scaled. A text is placed by the start of its baseline and is condensed
// when it would run past the right edge it is given.
class ReportCanvas
{
public:
    static constexpr double kUnitsPerInch = 96.0;

    // Begins painting; isActive() tells whether the document could be started.
    explicit ReportCanvas(QPrinter &printer);
    bool isActive() const { return painter.isActive(); }
    // The printable area of a page, in units.
    QSizeF pageSize() const;

    // family empty: the application's default family.
    void setFont(const QString &family, double points);
    void drawText(double x, double y, const QString &text, double right);
    void drawImage(const QRectF &rect, const QImage &image);
    // Through Qwt's renderer, laid out at the plot's own resolution and scaled into rect.
    void drawPlot(QwtPlot &plot, const QRectF &rect);
    bool newPage();
    // Ends the document; false when the printer failed.
    bool end();

private:
    QPrinter &printer;
    QPainter painter;
    double scale = 1.0; // printer dots per unit
};
