#pragma once

// What several benchmarks measure the same way.
#include "exchange/dataevent.h"
#include "exchange/datathread.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <vector>

namespace bench {

// The quiet device the cycle benchmarks poll: address 1, 19200 bit/s 8E1, scale 2,
// rated currents 5 to 50 A.
inline DeviceInfo quietDevice(int modification)
{
    DeviceInfo d;
    d.address = 1;
    d.baudRate = 19200;
    d.frameFormat = 0;
    d.modification = modification;
    d.currentScale = 2;
    d.minRatedCurrent = 5;
    d.maxRatedCurrent = 50;
    return d;
}

// Mean milliseconds between the live values of successive polling cycles of the
// device at path, over cycles cycles after the first; -1 when fewer came.
inline double meanCyclePeriod(const DeviceInfo &device, const QString &path, const ProtocolTiming &timing,
                              int cycles)
{
    DataThread thread(device, path);
    thread.setTiming(timing);
    std::vector<qint64> stamps;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QObject::connect(&thread, &DataThread::dataEvent, &loop, [&](const DataEventPtr &e) {
        if (e->type() == DataEvent::Get)
            stamps.push_back(clock.elapsed());
        if (int(stamps.size()) > cycles)
            loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    thread.startExchange();
    loop.exec();
    thread.stopExchange();
    if (stamps.size() < 3)
        return -1;
    return double(stamps.back() - stamps[1]) / double(stamps.size() - 2);
}

// The process's resident memory as the kernel reports it ("12345 kB").
inline QString residentMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    const QString text = QString::fromLatin1(status.readAll());
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("VmRSS:\\s*(\\d+ kB)")).match(text);
    return m.hasMatch() ? m.captured(1) : QStringLiteral("?");
}

} // namespace bench
