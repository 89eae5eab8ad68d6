#include "cli/devicesnapshot.h"

#include "cli/linkoptions.h"
#include "cli/oscillogramread.h"
#include "device/packetfactory.h"
#include "exchange/devicesession.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>

namespace {
constexpr int kSamplePeriodMs = 1000; // the data exchange polls once a second
} // namespace

bool DeviceSnapshot::read(const LinkOptions &options, const DeviceInfo &expected, int seconds, QString &reason)
{
    LinkOptions link = options;
    const std::unique_ptr<DeviceSession> session = link.openSession();
    if (!session) {
        reason = link.error;
        return false;
    }
    device = expected;
    return identify(*session, reason) && readBlocks(*session, reason) && collectSamples(*session, seconds, reason);
}

// As the data exchange checks it: the device answering is the one the search found.
bool DeviceSnapshot::identify(DeviceSession &session, QString &reason) const
{
    const DeviceSession::Identity identity = session.identify(device);
    reason = session.identityText(identity);
    return identity == DeviceSession::Identity::Matches;
}

bool DeviceSnapshot::readBlocks(DeviceSession &session, QString &reason)
{
    configuration = PacketFactory::configuration(device.modification);
    workLog = PacketFactory::workProtocol(device.modification);
    crashLog = std::make_unique<CrashProtocolPacket>(device.currentScale);
    startRecord = std::make_unique<RunConfigPacket>(device.currentScale);
    const std::pair<DataPacket *, const char *> blocks[] = {
        {configuration.get(), "configuration"}, {workLog.get(), "work log"},
        {crashLog.get(), "crash log"}, {startRecord.get(), "start record"}};
    for (const auto &block : blocks)
        if (!session.readBlock(*block.first)) {
            reason = QStringLiteral("%1 could not be read: %2").arg(QLatin1String(block.second), session.errorString());
            return false;
        }
    return readOscillogram(session, reason);
}

bool DeviceSnapshot::readOscillogram(DeviceSession &session, QString &reason)
{
    auto block = std::make_unique<CrashOscillogramPacket>();
    bool present = false;
    if (!OscillogramRead::read(session, *block, present)) {
        reason = QStringLiteral("oscillogram could not be read: ") + session.errorString();
        return false;
    }
    if (present)
        oscillogram = std::move(block);
    return true;
}

bool DeviceSnapshot::collectSamples(DeviceSession &session, int seconds, QString &reason)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < seconds; ++i) {
        if (!readSample(session, reason))
            return false;
        const qint64 rest = (i + 1) * qint64(kSamplePeriodMs) - clock.elapsed();
        if (i + 1 < seconds && rest > 0)
            QThread::msleep(quint64(rest));
    }
    return true;
}

bool DeviceSnapshot::readSample(DeviceSession &session, QString &reason)
{
    auto block = PacketFactory::monitoring(device.modification);
    if (session.readBlock(*block)) {
        samples.append(SampleWindow::Sample::of(quint32(QDateTime::currentSecsSinceEpoch()), *block));
        monitoring = std::move(block);
        return true;
    }
    reason = QStringLiteral("monitoring could not be read: ") + session.errorString();
    return false;
}
