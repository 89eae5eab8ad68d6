// Cost of one monitoring sample on the live plot with the longest interval the
// settings allow (24 h 59 min at one sample per second, six curves), and the
// process's memory once that window is full. Prints figures; judges nothing.
#include "bench/benchsupport.h"
#include "plots/decimatedcurve.h"
#include "plots/tempplot.h"
#include "plots/watchplot.h"

#include <qwt_plot_canvas.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr int kLongestInterval = 89940; // 24 h 59 min, the settings dialog's maximum
constexpr quint32 kStart = 1700000000;
constexpr int kMeasured = 200;


void sample(WatchPlot &plot, quint32 t)
{
    const double phase = t * 0.01;
    const double currents[3] = {20 + 5 * std::sin(phase), 21 + 5 * std::sin(phase + 2), 19 + 5 * std::sin(phase + 4)};
    const double voltages[3] = {380 + 10 * std::cos(phase), 381, 379 + 3 * std::sin(phase * 7)};
    plot.addSampleAt(t, currents, voltages);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char *what, const std::vector<double> &us)
{
    std::printf("%-46s median %9.1f us   max %9.1f us\n", what, median(us), *std::max_element(us.begin(), us.end()));
}

// Add (append, trim, axes, titles, replot request) and, separately, the paint it causes.
void measure(WatchPlot &plot, quint32 &t, const char *label)
{
    std::vector<double> add, paint;
    QElapsedTimer timer;
    for (int i = 0; i < kMeasured; ++i) {
        timer.start();
        sample(plot, t++);
        add.push_back(timer.nsecsElapsed() / 1000.0);
        timer.start();
        plot.canvas()->repaint();
        paint.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::printf("%s\n", label);
    report("  add sample (append, trim, axes, replot)", add);
    report("  paint of the canvas, six curves", paint);
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("VmRSS at start: %s\n", qPrintable(bench::residentMemory()));

    WatchPlot plot;
    plot.setInterval(kLongestInterval);
    plot.resize(1000, 300);
    plot.show();
    // Painting is measured on an exposed window; give the platform a bounded time.
    QElapsedTimer exposing;
    exposing.start();
    while (!(plot.windowHandle() && plot.windowHandle()->isExposed()) && exposing.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("window exposed: %s\n", plot.windowHandle()->isExposed() ? "yes" : "no");
    quint32 t = kStart;
    QElapsedTimer fill;
    fill.start();
    while (t < kStart + kLongestInterval + 10)
        sample(plot, t++);
    std::printf("filled %d samples per curve in %.0f ms (%.1f us per sample)\n", plot.samples().size(),
                double(fill.elapsed()), fill.nsecsElapsed() / 1000.0 / (kLongestInterval + 10));
    std::printf("VmRSS with the day-long window full: %s\n", qPrintable(bench::residentMemory()));

    measure(plot, t, "day-long window full, every sample trims one (exact drawing):");
    DecimatedCurve::setColumnReduction(true);
    measure(plot, t, "the same with the opt-in per-column reduction:");
    DecimatedCurve::setColumnReduction(false);
    plot.setInterval(60);
    sample(plot, t++);
    measure(plot, t, "60 s window:");
    std::printf("VmRSS at the end: %s\n", qPrintable(bench::residentMemory()));
    return 0;
}
