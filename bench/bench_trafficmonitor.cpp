// Cost of one frame in the open traffic monitor (decoding, the bounded model, the
// filter and the table following the newest row), the paint of the table, and the
// process's memory as the rows fill their bound and long after. Prints figures;
// judges nothing.
#include "bench/benchsupport.h"
#include "exchange/trafficevent.h"
#include "link/framelog.h"
#include "link/frameobserver.h"
#include "link/modbusport.h"
#include "link/rtuframing.h"
#include "ui/monitor/trafficfilter.h"
#include "ui/monitor/trafficmodel.h"
#include "ui/monitor/trafficmonitor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTableView>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kReadCount = 17;      // the monitoring block of a polling cycle
constexpr int kMeasured = 2000;
constexpr int kLongRun = 100000;    // frames: twenty times the bound


class Collector : public FrameObserver
{
public:
    void onFrame(const FrameRecord &record) override { frames.push_back(record); }
    std::vector<FrameRecord> frames;
};

// A read of the monitoring block and its reply, as the port's frame log records them.
std::vector<FrameRecord> readTransaction()
{
    QByteArray request = RtuFraming::readRequest(1, 100, kReadCount);
    RtuFraming::appendCrc(request);
    QByteArray reply;
    reply.append(char(1)).append(char(3)).append(char(2 * kReadCount));
    for (int i = 0; i < kReadCount; ++i)
        reply.append(char(i)).append(char(0x40 + i));
    RtuFraming::appendCrc(reply);
    Collector collector;
    FrameLog log("bench");
    log.setObserver(&collector);
    log.sent(request);
    log.received(request, reply, int(ModbusPort::Failure::None), 0, 12000, false);
    return collector.frames;
}

void feed(TrafficMonitor &monitor, const std::vector<FrameRecord> &frames, int count)
{
    for (int i = 0; i < count; ++i) {
        const TrafficEvent event(frames[size_t(i) % frames.size()]);
        monitor.onDataEvent(&event);
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void measure(TrafficMonitor &monitor, const std::vector<FrameRecord> &frames, const char *label)
{
    std::vector<double> add, paint;
    QElapsedTimer timer;
    for (int i = 0; i < kMeasured; ++i) {
        timer.start();
        feed(monitor, frames, 1);
        add.push_back(timer.nsecsElapsed() / 1000.0);
        timer.start();
        monitor.table()->viewport()->repaint();
        paint.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::printf("%s\n", label);
    std::printf("  one frame (decode, model, filter, follow)  median %8.1f us   max %8.1f us\n", median(add),
                *std::max_element(add.begin(), add.end()));
    std::printf("  paint of the table                         median %8.1f us   max %8.1f us\n", median(paint),
                *std::max_element(paint.begin(), paint.end()));
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("VmRSS at start: %s\n", qPrintable(bench::residentMemory()));
    const std::vector<FrameRecord> frames = readTransaction();

    TrafficMonitor monitor;
    monitor.show();
    QElapsedTimer exposing;
    exposing.start();
    while (!(monitor.windowHandle() && monitor.windowHandle()->isExposed()) && exposing.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    measure(monitor, frames, "filling the first rows:");
    QElapsedTimer fill;
    fill.start();
    feed(monitor, frames, TrafficModel::kDefaultCapacity);
    std::printf("%d more frames in %.0f ms; rows kept %d; VmRSS %s\n", TrafficModel::kDefaultCapacity,
                double(fill.elapsed()), monitor.model()->rowCount(), qPrintable(bench::residentMemory()));
    measure(monitor, frames, "rows at their bound, every frame drops the oldest:");
    monitor.filter()->setChoice(TrafficFilter::FailuresOnly);
    measure(monitor, frames, "the same, failures only shown (none among these frames):");
    monitor.filter()->setChoice(TrafficFilter::All);
    fill.start();
    feed(monitor, frames, kLongRun);
    std::printf("%d more frames in %.0f ms (%.1f us each); rows kept %d; VmRSS %s\n", kLongRun,
                double(fill.elapsed()), fill.nsecsElapsed() / 1000.0 / kLongRun, monitor.model()->rowCount(),
                qPrintable(bench::residentMemory()));
    return 0;
}
