#include "devicesnapshot.h"

#include "linkoptions.h"
#include "modbusport.h"
#include "oscillogramread.h"
#include "packetexecutor.h"
#include "packetfactory.h"
#include "searchpacket.h"
#include "searchthread.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>

namespace {
constexpr int kSamplePeriodMs = 1000; // the data exchange polls once a second
} // namespace

bool DeviceSnapshot::read(const LinkOptions &options, const DeviceInfo &expected, int seconds, QString &reason)
{
    LinkOptions link = options;
    ModbusPort line(link.devicePath.toLocal8Bit());
    if (!link.openPort(line)) {
        reason = link.error;
        return false;
    }
    port = &line;
    device = expected;
    PacketExecutor exec(line);
    const bool ok = identify(exec, reason) && readBlocks(exec, reason) && collectSamples(exec, seconds, reason);
    port = nullptr;
    return ok;
}

// As the data exchange checks it: the device answering is the one the search found.
bool DeviceSnapshot::identify(PacketExecutor &exec, QString &reason) const
{
    SearchPacket id;
    if (!exec.readPacket(id)) {
        reason = QStringLiteral("identification registers could not be read: ") + port->errorString();
        return false;
    }
    const DeviceInfo now = SearchThread::recognise(id);
    if (now.kind != DeviceInfo::Recognised || now.modification != device.modification
        || now.currentScale != device.currentScale || now.minRatedCurrent != device.minRatedCurrent
        || now.maxRatedCurrent != device.maxRatedCurrent) {
        reason = QStringLiteral("the device does not match its identification (modification or rated range differ)");
        return false;
    }
    return true;
}

bool DeviceSnapshot::readBlocks(PacketExecutor &exec, QString &reason)
{
    configuration = PacketFactory::configuration(device.modification);
    workLog = PacketFactory::workProtocol(device.modification);
    crashLog = std::make_unique<CrashProtocolPacket>(device.currentScale);
    startRecord = std::make_unique<RunConfigPacket>(device.currentScale);
    const std::pair<DataPacket *, const char *> blocks[] = {
        {configuration.get(), "configuration"}, {workLog.get(), "work log"},
        {crashLog.get(), "crash log"}, {startRecord.get(), "start record"}};
    for (const auto &block : blocks)
        if (!exec.readPacket(*block.first)) {
            reason = QStringLiteral("%1 could not be read: %2").arg(QLatin1String(block.second), port->errorString());
            return false;
        }
    return readOscillogram(exec, reason);
}

bool DeviceSnapshot::readOscillogram(PacketExecutor &exec, QString &reason)
{
    auto block = std::make_unique<CrashOscillogramPacket>();
    bool present = false;
    if (!OscillogramRead::read(exec, *block, present)) {
        reason = QStringLiteral("oscillogram could not be read: ") + port->errorString();
        return false;
    }
    if (present)
        oscillogram = std::move(block);
    return true;
}

bool DeviceSnapshot::collectSamples(PacketExecutor &exec, int seconds, QString &reason)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < seconds; ++i) {
        if (!readSample(exec, reason))
            return false;
        const qint64 rest = (i + 1) * qint64(kSamplePeriodMs) - clock.elapsed();
        if (i + 1 < seconds && rest > 0)
            QThread::msleep(quint64(rest));
    }
    return true;
}

bool DeviceSnapshot::readSample(PacketExecutor &exec, QString &reason)
{
    auto block = PacketFactory::monitoring(device.modification);
    for (int attempt = 0; attempt < kSampleAttempts; ++attempt)
        if (exec.readPacket(*block)) {
            samples.push_back({quint32(QDateTime::currentSecsSinceEpoch()), std::move(block)});
            return true;
        }
    reason = QStringLiteral("monitoring could not be read: ") + port->errorString();
    return false;
}
