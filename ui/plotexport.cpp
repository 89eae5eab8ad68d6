#include "ui/plotexport.h"

#include "storage/datadirectory.h"
#include "ui/savefolder.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_renderer.h>
#include <qwt_scale_div.h>

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>

namespace {

// Qwt's default resolution; the page size is chosen so that a PNG has the plot's pixels.
constexpr int kImageDpi = 85;
constexpr double kMmPerInch = 25.4;
constexpr int kNumberDigits = 12;
constexpr const char *kFileNameProperty = "orbixExportFileName";

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString number(double value)
{
    return QString::number(value, 'g', kNumberDigits);
}

QString imageFormat(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("svg") || suffix == QLatin1String("pdf") ? suffix : QStringLiteral("png");
}

QAction *addAction(QwtPlot *plot, const QString &text, const char *name)
{
    auto *action = new QAction(text, plot);
    action->setObjectName(QLatin1String(name));
    plot->addAction(action);
    plot->setContextMenuPolicy(Qt::ActionsContextMenu);
    return action;
}

} // namespace

void PlotExport::addContextMenu(QwtPlot *plot, const XText &xText)
{
    addContextMenu(plot, [plot, xText] { return curvesCsv(plot, xText); });
}

void PlotExport::addContextMenu(QwtPlot *plot, const DataText &data)
{
    QObject::connect(addAction(plot, tr("Сохранить изображение..."), "saveImageAction"),
                     &QAction::triggered, plot, [plot] { saveImageAs(plot); });
    QObject::connect(addAction(plot, tr("Сохранить данные..."), "saveDataAction"), &QAction::triggered, plot,
                     [plot, data] {
                         saveAs(plot, tr("Сохранить данные"), tr("CSV (*.csv)"), fileName(plot) + QStringLiteral(".csv"),
                                data());
                     });
}

void PlotExport::setFileName(QwtPlot *plot, const FileName &name)
{
    plot->setProperty(kFileNameProperty, QVariant::fromValue(name));
}

QString PlotExport::fileName(const QwtPlot *plot)
{
    const FileName name = plot->property(kFileNameProperty).value<FileName>();
    return name ? name() : SaveFolder::name({tr("График")}, QDateTime::currentDateTime());
}

void PlotExport::saveImageAs(QwtPlot *plot)
{
    const QString target = askFileName(plot, tr("Сохранить изображение"), tr("PNG (*.png);;SVG (*.svg);;PDF (*.pdf)"),
                                       fileName(plot) + QStringLiteral(".png"));
    if (!target.isEmpty() && !saveImage(plot, target))
        warnNotWritten(plot, target);
}

bool PlotExport::saveImage(QwtPlot *plot, const QString &fileName)
{
    // The renderer writes to a name: it writes a scratch file, which then replaces
    // the target in one step.
    QTemporaryDir scratch;
    const QString format = imageFormat(fileName);
    const QString rendered = scratch.filePath(QStringLiteral("plot.") + format);
    const QSizeF sizeMm = QSizeF(plot->size()) * (kMmPerInch / kImageDpi);
    QwtPlotRenderer().renderDocument(plot, rendered, format, sizeMm, kImageDpi);
    QFile file(rendered);
    if (!scratch.isValid() || !file.open(QIODevice::ReadOnly))
        return false;
    return DataDirectory::writeFile(fileName, file.readAll());
}

QByteArray PlotExport::curvesCsv(QwtPlot *plot, const XText &xText)
{
    plot->updateAxes(); // the x range as the next paint shows it
    const QwtScaleDiv &shown = plot->axisScaleDiv(QwtPlot::xBottom);
    const QString xTitle = plot->axisTitle(QwtPlot::xBottom).text();
    QString out = tr("Кривая,") + csvField(xTitle.isEmpty() ? tr("Время") : xTitle)
        + tr(",Значение,Ось значений\r\n");
    for (const QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        const auto *curve = static_cast<const QwtPlotCurve *>(item);
        if (!curve->isVisible())
            continue;
        const QString tail = csvField(plot->axisTitle(curve->yAxis()).text()) + QStringLiteral("\r\n");
        for (size_t i = 0; i < curve->dataSize(); ++i) {
            const QPointF p = curve->sample(int(i));
            if (shown.contains(p.x()))
                out += csvField(curve->title().text()) + QLatin1Char(',') + (xText ? xText(p.x()) : number(p.x()))
                    + QLatin1Char(',') + number(p.y()) + QLatin1Char(',') + tail;
        }
    }
    return out.toUtf8();
}

QString PlotExport::askFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &name)
{
    const QString answer = QFileDialog::getSaveFileName(parent, caption, SaveFolder::proposal(name), filter);
    if (!answer.isEmpty())
        SaveFolder::remember(answer);
    return answer;
}

void PlotExport::saveAs(QWidget *parent, const QString &caption, const QString &filter, const QString &name,
                        const QByteArray &bytes)
{
    const QString target = askFileName(parent, caption, filter, name);
    if (!target.isEmpty() && !DataDirectory::writeFile(target, bytes))
        warnNotWritten(parent, target);
}

void PlotExport::warnNotWritten(QWidget *parent, const QString &fileName)
{
    QMessageBox::warning(parent, tr("Сохранение"), tr("Не удалось записать файл %1").arg(fileName));
}
