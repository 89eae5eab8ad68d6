// The history database's costs: a sample's insert in the batches the recorder writes,
// the CPU of recording one device at 1 Hz, the size of a year of one device, a day's
// query for the plot and the retention pass over a year. Prints its figures.
#include "device/deviceinfo.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#ifdef ORBIX_BENCH_WINDOW
#include "ui/history/historywindow.h"

#include <QApplication>
#endif

#include <sys/resource.h>

namespace {

constexpr qint64 kDay = HistoryStore::kDayMs;
constexpr qint64 kYearEnd = 1767225600000LL; // 2026-01-01, UTC

HistorySample sampleAt(qint64 t)
{
    HistorySample s;
    s.timeMs = t;
    const int wobble = int((t / 1000) % 17);
    for (int p = 0; p < 3; ++p) {
        s.currents[p] = 20.0 + 0.5 * p + wobble * 0.1;
        s.voltages[p] = 378 + p + wobble % 3;
    }
    s.pt100 = 45 + wobble % 2;
    s.heating = 30 + wobble;
    s.motorRunning = true;
    s.inputs = 3;
    s.outputs = 1;
    return s;
}

double cpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void insertCost(QTextStream &out, const QString &path)
{
    HistoryStore store;
    store.open(path);
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("5.0-50.0 v0.70"), 2);
    for (int batch : {3, 100}) {
        const int batches = batch == 3 ? 500 : 100;
        QElapsedTimer timer;
        timer.start();
        const double cpu0 = cpuSeconds();
        for (int b = 0; b < batches; ++b) {
            QVector<HistorySample> v;
            for (int i = 0; i < batch; ++i)
                v.append(sampleAt(kYearEnd + (qint64(batch) * b + i + batch * 100000LL) * 1000));
            store.appendSamples(id, v);
        }
        const double n = double(batches) * batch;
        out << QStringLiteral("insert, batches of %1: %2 us wall, %3 us CPU per sample\n")
                   .arg(batch).arg(timer.nsecsElapsed() / 1000.0 / n, 0, 'f', 1)
                   .arg((cpuSeconds() - cpu0) * 1e6 / n, 0, 'f', 1);
    }
}

// The recorder as a connection feeds it at 1 Hz, time compressed: the CPU it takes
// per second of recording, with its default batch of 3 s.
void recordingCpu(QTextStream &out, const QString &path)
{
    HistoryRecorder recorder(path);
    recorder.setBatchInterval(1000000); // batches made by flush() below
    recorder.start();
    DeviceInfo device;
    device.address = 2;
    const int seconds = 1500;
    const double cpu0 = cpuSeconds();
    for (int s = 0; s < seconds; ++s) {
        recorder.record(device, QStringLiteral("COM1"), sampleAt(kYearEnd + s * 1000LL));
        if (s % (HistoryRecorder::kDefaultBatchMs / 1000) == 0)
            recorder.flush();
    }
    recorder.flush();
    const double perSecond = (cpuSeconds() - cpu0) / seconds;
    out << QStringLiteral("recording one device at 1 Hz: %1 ms CPU per second of recording (%2 % of one core)\n")
               .arg(perSecond * 1000, 0, 'f', 3).arg(perSecond * 100, 0, 'f', 3);
}

// A year of one device as the store holds it: 7 days at 1 Hz, the rest one row a
// minute. The older days are written one sample a minute and summed by the
// retention pass, so that their rows are the minute rows a real year leaves.
void year(QTextStream &out, const QString &path)
{
    HistoryStore store;
    store.open(path);
    const qint64 id = store.deviceId(QStringLiteral("COM1"), 1, QStringLiteral("5.0-50.0 v0.70"), 2);
    const qint64 start = kYearEnd - 365 * kDay;
    QElapsedTimer timer;
    timer.start();
    for (qint64 day = 0; day < 365; ++day) {
        const bool full = day >= 365 - 7;
        QVector<HistorySample> v;
        for (qint64 t = start + day * kDay; t < start + (day + 1) * kDay; t += full ? 1000 : 60000)
            v.append(sampleAt(t));
        store.appendSamples(id, v);
        if (day % 30 == 0 || day == 364)
            store.applyRetention(start + (day + 1) * kDay, 7, 730);
    }
    out << QStringLiteral("a year generated in %1 s\n").arg(timer.elapsed() / 1000.0, 0, 'f', 1);
    timer.restart();
    store.appendSamples(id, {sampleAt(kYearEnd + 3600000)});
    store.applyRetention(kYearEnd + 3600000, 7, 730); // an hour later: an hour of 1 Hz rows becomes minutes
    out << QStringLiteral("retention pass over the year (one hour to sum): %1 ms\n").arg(timer.elapsed());
    store.close();
    out << QStringLiteral("a year of one device at 1 Hz: %1 MB on disk\n")
               .arg(QFileInfo(path).size() / 1e6, 0, 'f', 1);
    store.open(path);
    timer.restart();
    const QVector<HistorySample> day = store.samples(id, kYearEnd - kDay, kYearEnd);
    out << QStringLiteral("a day's query (%1 rows at 1 Hz): %2 ms\n").arg(day.size()).arg(timer.elapsed());
    timer.restart();
    const QVector<HistorySample> all = store.samples(id, 0, kYearEnd + kDay);
    out << QStringLiteral("the whole year's query (%1 rows): %2 ms\n").arg(all.size()).arg(timer.elapsed());
#ifdef ORBIX_BENCH_WINDOW
    HistoryWindow window(path);
    window.show();
    QApplication::processEvents();
    timer.restart();
    window.showPeriod(0, HistoryWindow::LastDay, kYearEnd);
    QApplication::processEvents(); // the plots painted
    out << QStringLiteral("the window showing a day of 1 Hz samples (%1 rows, read, cut, drawn): %2 ms\n")
               .arg(window.shownSamples().size()).arg(timer.elapsed());
#endif
    timer.restart();
    store.applyRetention(kYearEnd + 3600000, 1, 730); // the full period shortened to a day: six days to sum
    out << QStringLiteral("retention pass summing six days of 1 Hz rows: %1 ms\n").arg(timer.elapsed());
    store.close();
    out << QStringLiteral("after it: %1 MB on disk\n").arg(QFileInfo(path).size() / 1e6, 0, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef ORBIX_BENCH_WINDOW
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
#endif
    QTemporaryDir dir;
    QTextStream out(stdout);
    insertCost(out, dir.filePath(QStringLiteral("insert.sqlite")));
    recordingCpu(out, dir.filePath(QStringLiteral("cpu.sqlite")));
    out.flush();
    year(out, dir.filePath(QStringLiteral("year.sqlite")));
    return 0;
}
