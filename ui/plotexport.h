#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaType>
#include <QString>

#include <functional>

class QwtPlot;
class QWidget;

// What every plot of the program offers on its context menu: its picture (PNG, SVG
// or PDF through Qwt's renderer) and its data as comma-separated text. Files are
// written whole or not at all.
class PlotExport
{
    Q_DECLARE_TR_FUNCTIONS(PlotExport)

public:
    // The text of an x value in the data file (the live plots give local times).
    using XText = std::function<QString(double)>;
    // The bytes of "Сохранить данные...".
    using DataText = std::function<QByteArray()>;
    // The name the save dialogs propose for a plot's files, without folder or suffix.
    using FileName = std::function<QString()>;

    // Adds "Сохранить изображение..." and "Сохранить данные..." to the plot's context
    // menu; the data are the visible curves as shown, or what data gives.
    static void addContextMenu(QwtPlot *plot, const XText &xText = XText());
    static void addContextMenu(QwtPlot *plot, const DataText &data);

    // Until set, a plot's files are proposed as "График" and the time.
    static void setFileName(QwtPlot *plot, const FileName &name);
    static QString fileName(const QwtPlot *plot);

    // The format follows the file's suffix: png, svg or pdf (png for any other).
    static bool saveImage(QwtPlot *plot, const QString &fileName);
    // One row per point of each visible curve within the shown x range:
    // curve title, x, value, the title of the curve's value axis.
    static QByteArray curvesCsv(QwtPlot *plot, const XText &xText = XText());

    // Asks where to save, proposing name in the folder saved in last; empty when the
    // user cancels. The folder of the answer is remembered for the next dialog.
    static QString askFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &name);
    // Writes bytes to a file the user names; says so when it cannot be written.
    static void saveAs(QWidget *parent, const QString &caption, const QString &filter, const QString &name,
                       const QByteArray &bytes);
    static void warnNotWritten(QWidget *parent, const QString &fileName);

private:
    static void saveImageAs(QwtPlot *plot);
};

Q_DECLARE_METATYPE(PlotExport::FileName)
