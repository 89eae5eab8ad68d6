#include "report/reportcanvas.h"

#include <qwt_plot.h>
#include <qwt_plot_renderer.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPrinter>

namespace {
// A text is condensed to no less than this share of its width: below it stays readable
// rather than inside its column.
constexpr double kLeastCondensing = 0.5;
} // namespace

ReportCanvas::ReportCanvas(QPrinter &p) : printer(p)
{
    if (!painter.begin(&printer))
        return;
    scale = printer.resolution() / kUnitsPerInch;
    painter.scale(scale, scale);
}

QSizeF ReportCanvas::pageSize() const
{
    return printer.pageRect(QPrinter::DevicePixel).size() / scale;
}

// A point size on the printer, whose dots are scale times finer than a unit.
void ReportCanvas::setFont(const QString &family, double points)
{
    QFont font = QApplication::font();
    if (!family.isEmpty())
        font = QFont(family);
    font.setPointSizeF(points / scale);
    painter.setFont(font);
}

void ReportCanvas::drawText(double x, double y, const QString &text, double right)
{
    const double width = QFontMetricsF(painter.font(), &printer).horizontalAdvance(text);
    const double room = right - x;
    if (width <= room || room <= 0.0) {
        painter.drawText(QPointF(x, y), text);
        return;
    }
    painter.save();
    painter.translate(x, y);
    painter.scale(qMax(kLeastCondensing, room / width), 1.0);
    painter.drawText(QPointF(0.0, 0.0), text);
    painter.restore();
}

void ReportCanvas::drawImage(const QRectF &rect, const QImage &image)
{
    painter.drawImage(rect, image);
}

// Qwt lays the plot out at the plot's resolution and scales that to the printer's own;
// given the scaled painter it would scale twice.
void ReportCanvas::drawPlot(QwtPlot &plot, const QRectF &rect)
{
    const QRectF onPrinter = painter.transform().mapRect(rect);
    painter.save();
    painter.resetTransform();
    QwtPlotRenderer().render(&plot, &painter, onPrinter);
    painter.restore();
}

bool ReportCanvas::newPage()
{
    return printer.newPage();
}

bool ReportCanvas::end()
{
    return painter.end() && printer.printerState() != QPrinter::Error;
}
