#include "tests/report/reportsample.h"

#include "device/configfields.h"
#include "device/configpacket.h"
#include "device/crashprotocolpacket.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protectionmodel.h"
#include "device/protocolpacket.h"
#include "device/runconfigpacket.h"
#include "device/watchdatapacket.h"

#include <QtMath>

namespace {

constexpr quint32 kFirstSample = 1700000000;
constexpr int kSamples = 60;
constexpr quint32 kRecordSpacing = 10; // seconds between log records
constexpr int kWorkLog = 140;
constexpr int kCrashLog = 50;
constexpr int kOscillogram = 301;
constexpr int kOscillogramSamples = 306;
constexpr int kStartRecord = 201;

void writeTime(DataPacket &p, quint32 reg, quint32 time)
{
    PacketRegisters::write(p, reg, quint16(time & 0xFFFF));
    PacketRegisters::write(p, reg + 1, quint16(time >> 16));
}

} // namespace

ReportSample::ReportSample(int modification, int currentScale, bool oscillogram)
    : configuration(PacketFactory::configuration(modification))
    , monitoring(PacketFactory::monitoring(modification))
    , withOscillogram(oscillogram)
{
    device.address = 3;
    device.baudRate = 57600;
    device.frameFormat = 1;
    device.portNumber = 41;
    device.modification = modification;
    device.currentScale = currentScale;
    device.minRatedCurrent = 5.0f;
    device.maxRatedCurrent = 50.0f;
    fillConfiguration();
    fillState();
    fillLogs();
    fillPlots();
    if (withOscillogram)
        fillOscillogram();
}

void ReportSample::fillConfiguration()
{
    using F = ConfigFields;
    const QMap<F::Id, int> words = {
        {F::RatedCurrent, 123}, {F::MinCurrent, 25}, {F::OverloadMultiple, 3}, {F::ImbalanceThreshold, 30},
        {F::DoubleOverloadTime, 60}, {F::SwitchOnDelay, 5}, {F::AutoRestart, 0}, {F::PhaseSequenceCheck, 0},
        {F::FastProtection, 1}, {F::OverloadReactionTime, 1500}, {F::BrokenPhasesAllowed, 1}, {F::PtcProtection, 1},
        {F::HumidityProtection, 0}, {F::Pt100Protection, 1}, {F::Pt100Threshold, 120}, {F::VoltageTolerance, 2},
        {F::CyclicMode, 0}, {F::CyclicWorkTime, 600}, {F::CyclicPauseTime, 300}, {F::Input1Function, 3},
        {F::Input2Function, 5}, {F::PowerOutputFunction, 1}, {F::AuxOutputFunction, 7}, {F::SwitchDelay, 2},
        {F::RemoteControl, 1}, {F::ImbalanceTripTime, 1200}, {F::MinCurrentCorrection, -5},
        {F::InsulationThreshold, 0},
    };
    for (auto it = words.cbegin(); it != words.cend(); ++it)
        F::setValue(*configuration, it.key(), it.value()); // false for fields the block has not
}

void ReportSample::fillState()
{
    PacketRegisters::write(*monitoring, 34, device.modification >= 80 ? 31 : 0); // fault code
    PacketRegisters::write(*monitoring, 38, 1);                                // motor running
    PacketRegisters::write(*monitoring, 39, 1);                                // PTC: normal
    PacketRegisters::write(*monitoring, 40, 2);                                // humidity: water
    PacketRegisters::write(*monitoring, 41, quint16(-99));                     // PT100 shorted
    PacketRegisters::write(*monitoring, 170, 1234);                            // running hours
    writeTime(*monitoring, 171, 56789);                                        // starts (80 and above)
}

void ReportSample::fillLogs()
{
    std::unique_ptr<ProtocolPacket> work = PacketFactory::workProtocol(device.modification);
    CrashProtocolPacket crash(device.currentScale);
    for (int i = 0; i < ProtocolPacket::kRecords; ++i) {
        // Records 0..8 come before the first crash, record 9 after it.
        const quint32 time = kNewestTime - kRecordSpacing * quint32(i < kWorkRecordsBeforeCrash ? i : i + 1);
        PacketRegisters::write(*work, kWorkLog + 3 * i, 1); // motor stopped
        writeTime(*work, kWorkLog + 3 * i + 1, time);
    }
    for (int j = 0; j < 3; ++j) {
        const quint32 reg = kCrashLog + 9 * j;
        const quint32 time = kNewestTime - kRecordSpacing * (kWorkRecordsBeforeCrash + 2 * j);
        PacketRegisters::write(crash, reg, j == 0 ? 31 : 10);
        writeTime(crash, reg + 1, time);
        for (int p = 0; p < 3; ++p) {
            PacketRegisters::write(crash, reg + 3 + p, kCrashCurrentCounts);
            PacketRegisters::write(crash, reg + 6 + p, kCrashVoltage);
        }
    }
    protocol.merge(*work, crash);
}

void ReportSample::fillPlots()
{
    for (int i = 0; i < kSamples; ++i) {
        const double wave = qSin(i / 6.0);
        const double live[ReportData::kLiveColumns] = {10 + 2 * wave, 11 + 2 * wave, 12 + 2 * wave,
                                                       380 + 5 * wave, 381, 382};
        liveSamples.append(kFirstSample + quint32(i), live);
        const double temperatures[ReportData::kTemperatureColumns] = {40 + 10 * wave, 50 + 20 * wave};
        temperatureSamples.append(kFirstSample + quint32(i), temperatures);
    }
    RunConfigPacket start(device.currentScale);
    writeTime(start, kStartRecord, kFirstSample);
    PacketRegisters::write(start, kStartRecord + 2, quint16(20 * device.currentScale)); // base current 20 A
    PacketRegisters::write(start, kStartRecord + 3, 65535);
    for (int level = 0; level < RunConfigPacket::kLevels; ++level)
        PacketRegisters::write(start, kStartRecord + 4 + level, quint16(3000 / (level + 1)));
    protection = ProtectionSettings::fromConfig(*configuration);
    startCharacteristic = start.characteristic();
}

void ReportSample::fillOscillogram()
{
    writeTime(oscillogram, kOscillogram, kTripTime);
    PacketRegisters::write(oscillogram, kOscillogram + 2, kOscillogramFault);
    PacketRegisters::write(oscillogram, kOscillogram + 3, 256); // one count per ampere
    PacketRegisters::write(oscillogram, kOscillogram + 4, 256);
    for (int c = 0; c < CrashOscillogramPacket::kChannels; ++c)
        for (int k = 0; k < CrashOscillogramPacket::kSamples; ++k) {
            const double amplitude = c < 3 ? 40 : 500;
            const double value = amplitude * qSin(2 * M_PI * k / 48.0 + c * 2 * M_PI / 3);
            PacketRegisters::write(oscillogram, kOscillogramSamples + quint32(c * 64 + k), quint16(qint16(value)));
        }
}

ReportData ReportSample::data() const
{
    ReportData d;
    d.device = device;
    d.version = device.modification;
    d.monitoring.reset(monitoring->clone());
    d.configuration.reset(configuration->clone());
    d.protocol = &protocol;
    d.liveSamples = liveSamples;
    d.temperatureSamples = temperatureSamples;
    d.protection = protection;
    d.startCharacteristic = startCharacteristic;
    if (withOscillogram)
        d.oscillogram.reset(oscillogram.clone());
    return d;
}
