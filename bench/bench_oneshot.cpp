// One-shot register reads against the simulator on a pseudo-terminal: `orbix read`
// beside mbpoll on the same line, wall time per run of the whole program (start-up,
// open, one transaction, exit); with ORBIX_BENCH_WINDOWS_ORBIX=orbix.exe also the Windows
// build under Wine on the same line, as COM5. Prints figures; not a test.
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

constexpr int kRuns = 20;

QStringList words(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *w : list)
        out << QString::fromLatin1(w);
    return out;
}

struct Figures {
    double medianMs = -1;
    double meanMs = -1;
    int failed = 0;
};

Figures measure(const QString &program, const QStringList &args)
{
    std::vector<double> ms;
    Figures f;
    for (int i = 0; i < kRuns; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(program, args);
        if (!p.waitForFinished(10000) || p.exitCode() != 0) {
            p.kill();
            p.waitForFinished();
            ++f.failed;
            continue;
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    if (ms.empty())
        return f;
    std::sort(ms.begin(), ms.end());
    f.medianMs = ms[ms.size() / 2];
    double sum = 0;
    for (double v : ms)
        sum += v;
    f.meanMs = sum / double(ms.size());
    return f;
}

void print(QTextStream &out, const char *name, const Figures &f)
{
    out << QStringLiteral("%1 median %2 ms, mean %3 ms, %4 of %5 runs failed\n")
               .arg(QLatin1String(name), -12)
               .arg(f.medianMs, 0, 'f', 1)
               .arg(f.meanMs, 0, 'f', 1)
               .arg(f.failed)
               .arg(kRuns);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    Simulator sim;
    sim.addDevice(SimDeviceConfig {1, 70, 0, 19200, 2, 10});
    if (!sim.start()) {
        out << "simulator: " << sim.errorString() << '\n';
        return 1;
    }
    const QString path = sim.linkPath();
    out << "one-shot read of registers 1-4 at 19200 bit/s 8E1, " << kRuns << " runs each, " << path << '\n';
    const Figures orbix = measure(QStringLiteral(ORBIX_CLI), words({"read"}) << path << words({"--address", "1", "1", "4"}));
    print(out, "orbix read", orbix);
    const QString windowsOrbix = qEnvironmentVariable("ORBIX_BENCH_WINDOWS_ORBIX");
    if (!windowsOrbix.isEmpty()) {
        qputenv("ORBIX_COM_PORTS", "5=" + path.toLocal8Bit());
        const Figures wine = measure(QStringLiteral(ORBIX_WINE_RUN),
                                     QStringList {windowsOrbix} << words({"read", "COM5", "--address", "1", "1", "4"}));
        print(out, "orbix.exe", wine);
        if (orbix.medianMs > 0 && wine.medianMs > 0)
            out << QStringLiteral("orbix.exe under Wine / orbix: %1\n").arg(wine.medianMs / orbix.medianMs, 0, 'f', 2);
    }
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty()) {
        out << "mbpoll not installed: no comparison\n";
        return 0;
    }
    const Figures other = measure(mbpoll, words({"-m", "rtu", "-a", "1", "-b", "19200", "-P", "even", "-t", "4", "-r",
                                                 "1", "-c", "4", "-1", "-q"})
                                              << path);
    print(out, "mbpoll", other);
    if (orbix.medianMs > 0 && other.medianMs > 0)
        out << QStringLiteral("orbix / mbpoll: %1\n").arg(orbix.medianMs / other.medianMs, 0, 'f', 2);
    sim.stop();
    return 0;
}
