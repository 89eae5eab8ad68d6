// Time of one whole PDF report, as the window's button builds it after the file
// dialog: the plots drawn from the samples, the protection curve built at once, two or three pages,
// written and renamed. With live plots of one minute (the default interval) and of
// the longest interval the settings allow. Prints figures; judges nothing.
#include "device/configpacketv70.h"
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protectionmodel.h"
#include "device/protocollist.h"
#include "device/protocolpacket.h"
#include "device/watchdatapacket80.h"
#include "report/guiapplication.h"
#include "report/reportbuilder.h"
#include "report/reportdata.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr quint32 kStart = 1700000000;
constexpr int kLongestInterval = 89940; // 24 h 59 min, the settings dialog's maximum
constexpr int kRuns = 7;
constexpr int kModification = 80;
constexpr int kScale = 2;

struct Line {
    SampleBuffer live {ReportData::kLiveColumns};
    SampleBuffer temperature {ReportData::kTemperatureColumns};
    int interval = ReportData::kDefaultPlotInterval;
    ProtectionSettings protection;
    CrashOscillogramPacket oscillogram;
    ProtocolList protocol;
    std::unique_ptr<ConfigPacket> config = PacketFactory::configuration(kModification);
    std::unique_ptr<WatchDataPacket> state = PacketFactory::monitoring(kModification);
};

void fillPlots(Line &line, int seconds)
{
    line.interval = seconds;
    for (int i = 0; i < seconds; ++i) {
        const double phase = i * 0.01;
        const double live[ReportData::kLiveColumns] = {20 + 5 * std::sin(phase), 21, 19,
                                                       380 + 10 * std::cos(phase), 381, 379};
        line.live.append(kStart + quint32(i), live);
        const double temperature[ReportData::kTemperatureColumns] = {40 + 10 * std::sin(phase), 50};
        line.temperature.append(kStart + quint32(i), temperature);
    }
}

// Settings of a 25 A motor with a 200 s double-overload time: the longest build.
void fillDevice(Line &line)
{
    PacketRegisters::write(*line.config, 5, 25 * kScale);
    PacketRegisters::write(*line.config, 6, 20);
    PacketRegisters::write(*line.config, 7, 5);
    PacketRegisters::write(*line.config, 9, 200);
    line.protection = ProtectionSettings::fromConfig(*line.config);
    PacketRegisters::fill(line.oscillogram, [](quint32 reg) { return quint16(reg % 200); });
    auto work = PacketFactory::workProtocol(kModification);
    CrashProtocolPacket crash(kScale);
    PacketRegisters::fill(*work, [](quint32 reg) { return quint16(reg % 3 == 2 ? 1 : reg); });
    PacketRegisters::fill(crash, [](quint32 reg) { return quint16(reg % 9 == 5 ? 31 : reg); });
    line.protocol.merge(*work, crash);
}

double buildMs(const Line &line, const QString &path)
{
    ReportData data;
    data.version = kModification;
    data.device.modification = kModification;
    data.device.currentScale = kScale;
    data.monitoring.reset(line.state->clone());
    data.configuration.reset(line.config->clone());
    data.protocol = &line.protocol;
    data.liveSamples = line.live;
    data.temperatureSamples = line.temperature;
    data.plotInterval = line.interval;
    data.protection = line.protection;
    data.oscillogram.reset(line.oscillogram.clone());
    QElapsedTimer timer;
    timer.start();
    ReportBuilder builder(path, data);
    if (!builder.build())
        std::printf("not written: %s\n", qPrintable(builder.failureText()));
    return timer.nsecsElapsed() / 1e6;
}

void measure(const char *what, int seconds)
{
    Line line;
    fillPlots(line, seconds);
    fillDevice(line);
    QTemporaryDir dir;
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i)
        ms.push_back(buildMs(line, dir.filePath(QStringLiteral("report.pdf"))));
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.1f ms   max %7.1f ms   (%d runs)\n", what, ms[ms.size() / 2], ms.back(), kRuns);
}

} // namespace

int main(int argc, char *argv[])
{
    // Runs without a display as orbix report does.
    const auto app = GuiApplication::create(argc, argv);
    measure("live plots of 60 s", 60);
    measure("live plots of 24 h 59 min (89940 samples)", kLongestInterval);
    return 0;
}
