#pragma once

#include <qwt_plot.h>

#include <QVector>

class QwtPlotCurve;

// One plot of the history view: a few curves over a period of local time. A period
// holds far more samples than the plot has pixels: each curve is cut down to the
// first, lowest, highest and last value of every pixel column before Qwt sees it, so
// that a week draws as fast as an hour and a short spike still shows. Dates and
// numbers are written in the plot's locale, the window's language.
class HistoryPlot : public QwtPlot
{
    Q_OBJECT
public:
    HistoryPlot(const QString &title, const QStringList &curveNames, QWidget *parent = nullptr);

    // times: UTC ms; values[c][i] the value of curve c at times[i].
    void setSamples(const QVector<double> &times, const QVector<QVector<double>> &values);
    int curveCount() const { return curves.size(); }
    // Points handed to Qwt for curve c (for tests: bounded by the pixel columns).
    int drawnPoints(int c) const;

    QSize minimumSizeHint() const override;

    // The pixel-column cut: at most four points per column of width columns over [t0, t1].
    static void decimate(const QVector<double> &times, const QVector<double> &values, int columns,
                         QVector<double> &outTimes, QVector<double> &outValues);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void redraw();

    QVector<QwtPlotCurve *> curves;
    QVector<double> times;
    QVector<QVector<double>> values;
};
