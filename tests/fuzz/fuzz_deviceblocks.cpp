// Every register block of the device, filled with any register words as a read
// would fill it. Input: the block, the device's modification and current scale,
// then the words in the order the block's requests read them.
#include "device/configfields.h"
#include "device/configpacketv70.h"
#include "device/crashoscillogrampacket.h"
#include "device/crashprotocolpacket.h"
#include "device/faulttext.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protectionmodel.h"
#include "device/protocolpacketv50.h"
#include "device/runconfigpacket.h"
#include "device/runconfigprogresspacket.h"
#include "device/searchpacket.h"
#include "device/watchdatapacket80.h"
#include "link/rtuframing.h"
#include "tests/fuzz/fuzzinput.h"

#include <cmath>
#include <map>
#include <memory>
#include <typeinfo>

namespace {

enum Block { Monitoring, WorkLog, Configuration, Search, StartCurve, AutoSetup, Oscillogram, CrashLog, BlockCount };

std::unique_ptr<DataPacket> makeBlock(int block, int modification, int scale)
{
    switch (block) {
    case Monitoring: return PacketFactory::monitoring(modification);
    case WorkLog: return PacketFactory::workProtocol(modification);
    case Configuration: return PacketFactory::configuration(modification);
    case Search: return std::make_unique<SearchPacket>();
    case StartCurve: return std::make_unique<RunConfigPacket>(scale);
    case AutoSetup: return std::make_unique<RunConfigProgressPacket>();
    case Oscillogram: return std::make_unique<CrashOscillogramPacket>();
    default: return std::make_unique<CrashProtocolPacket>(scale);
    }
}

bool finite(double v)
{
    return std::isfinite(v);
}

// The register map of a block: each register read by exactly one request, every
// request within what one Modbus read or write may carry.
std::map<quint32, quint16> checkRequests(const DataPacket &p, bool writtenWhole)
{
    std::map<quint32, quint16> registers;
    for (const RegisterRequest &r : p.requests()) {
        FUZZ_CHECK(r.byteCount > 0 && r.byteCount % 2 == 0);
        FUZZ_CHECK(int(r.byteCount / 2) <= (writtenWhole ? RtuFraming::kMaxWriteRegisters : RtuFraming::kMaxReadRegisters));
        for (quint32 i = 0; i < r.byteCount / 2; ++i)
            FUZZ_CHECK(registers.emplace(r.firstRegister + i, static_cast<const quint16 *>(r.buffer)[i]).second);
    }
    FUZZ_CHECK(int(registers.size()) == PacketRegisters::registerCount(p));
    return registers;
}

quint16 reg(const std::map<quint32, quint16> &registers, quint32 number)
{
    const auto it = registers.find(number);
    FUZZ_CHECK(it != registers.end());
    return it->second;
}

void checkChoice(ConfigFields::Id field, quint16 word)
{
    const QString text = ConfigFields::choice(field, word);
    FUZZ_CHECK(text.isEmpty() == (word >= ConfigFields::choices(field).size()));
}

void checkMonitoring(const WatchDataPacket &w, const std::map<quint32, quint16> &registers, int modification)
{
    FUZZ_CHECK((dynamic_cast<const WatchDataPacket80 *>(&w) != nullptr) == (modification >= PacketFactory::kModificationV80));
    const QString alarm = w.alarmText();
    FUZZ_CHECK(w.faultCode() == 0 ? !alarm.isEmpty() : alarm == faultText(w.faultCode()));
    for (int i = -1; i <= 3; ++i) {
        FUZZ_CHECK(!w.inputActive(i) || (i >= 0 && i < 2));
        FUZZ_CHECK(!w.outputState(i) || (i >= 0 && i < 3));
        FUZZ_CHECK((i >= 0 && i < 3) || (w.phaseCurrent(i) == 0 && w.phaseVoltage(i) == 0));
    }
    FUZZ_CHECK(w.deviceTime() == (quint32(reg(registers, 48)) | quint32(reg(registers, 49)) << 16));
    FUZZ_CHECK(w.motorHours() == reg(registers, 170));
    FUZZ_CHECK(!(w.pt100Shorted() && w.pt100Open()));
    if (const auto *w80 = dynamic_cast<const WatchDataPacket80 *>(&w))
        FUZZ_CHECK(w80->startCount() == (quint32(reg(registers, 171)) | quint32(reg(registers, 172)) << 16));
}

void checkConfiguration(const ConfigPacket &c, int modification, int scale)
{
    const int expected = modification >= PacketFactory::kModificationV70   ? 70
                         : modification >= PacketFactory::kModificationV50 ? 50
                                                                          : 0;
    FUZZ_CHECK(c.version() == expected);
    const double amps = ConfigFields::toEditor(ConfigFields::RatedCurrent, c.ratedCurrent(), scale);
    FUZZ_CHECK(finite(amps));
    // The settings editor shows amperes and writes counts back: an untouched value survives.
    if (scale > 0)
        FUZZ_CHECK(ConfigFields::ampsToCounts(amps, scale) == c.ratedCurrent());
    else
        FUZZ_CHECK(amps == 0.0);
    FUZZ_CHECK(ConfigFields::toEditor(ConfigFields::OverloadReactionTime, c.overloadReactionTime(), scale)
               == c.overloadReactionTime() / 10);
    checkChoice(ConfigFields::VoltageTolerance, c.voltageTolerance());
    checkChoice(ConfigFields::Input1Function, c.input1Function());
    checkChoice(ConfigFields::Input2Function, c.input2Function());
    checkChoice(ConfigFields::PowerOutputFunction, c.powerOutputFunction());
    checkChoice(ConfigFields::AuxOutputFunction, c.auxOutputFunction());
    const ProtectionSettings s = ProtectionSettings::fromConfig(c);
    FUZZ_CHECK(s.ratedCurrent == c.ratedCurrent() && s.fastProtection == c.fastProtection());
    if (const auto *v50 = dynamic_cast<const ConfigPacketV50 *>(&c))
        FUZZ_CHECK(ConfigFields::toEditor(ConfigFields::ImbalanceTripTime, v50->imbalanceTripTime(), scale)
                   == v50->imbalanceTripTime() / 10);
    if (const auto *v70 = dynamic_cast<const ConfigPacketV70 *>(&c)) {
        checkChoice(ConfigFields::InsulationThreshold, v70->insulationThreshold());
        std::unique_ptr<ConfigPacketV70> copy(v70->clone());
        using F = ConfigFields;
        const double shown = v70->minCurrentCorrection();
        F::setValue(*copy, F::MinCurrentCorrection, F::fromEditor(F::MinCurrentCorrection, shown, scale));
        FUZZ_CHECK(F::value(*copy, F::MinCurrentCorrection) == F::value(*v70, F::MinCurrentCorrection));
    }
}

void checkStartCurve(const RunConfigPacket &r, int scale)
{
    FUZZ_CHECK(finite(r.baseCurrent()) && r.baseCurrent() >= 0.0);
    FUZZ_CHECK(scale != 0 || r.baseCurrent() == 0.0);
    const CurvePoints points = r.characteristic();
    FUZZ_CHECK(points.x.size() == RunConfigPacket::kLevels && points.y.size() == RunConfigPacket::kLevels);
    for (int i = 0; i < RunConfigPacket::kLevels; ++i) {
        FUZZ_CHECK(finite(points.x[i]) && points.x[i] >= 0.0);
        FUZZ_CHECK(i == 0 || points.x[i] >= points.x[i - 1]);
        // A logarithmic time axis draws every point.
        FUZZ_CHECK(finite(points.y[i]) && points.y[i] > 0.0);
    }
    FUZZ_CHECK(r.timeWord(-1) == 0 && r.timeWord(RunConfigPacket::kLevels) == 0);
}

void checkOscillogram(const CrashOscillogramPacket &o)
{
    for (int c = -1; c <= CrashOscillogramPacket::kChannels; ++c) {
        const QVector<double> values = o.channelValues(c);
        FUZZ_CHECK(values.size() == CrashOscillogramPacket::kSamples);
        const bool valid = c >= 0 && c < CrashOscillogramPacket::kChannels;
        for (double v : values)
            FUZZ_CHECK(finite(v) && (valid || v == 0.0));
    }
    for (int k = 0; k < CrashOscillogramPacket::kSamples; ++k)
        FUZZ_CHECK(CrashOscillogramPacket::sampleTimeMs(k) < 0.0);
}

void checkCrashLog(const CrashProtocolPacket &log)
{
    for (int i = -1; i <= CrashProtocolPacket::kRecords; ++i) {
        const CrashRecord r = log.record(i);
        const bool valid = i >= 0 && i < CrashProtocolPacket::kRecords;
        FUZZ_CHECK(valid || (r.code == 0 && r.time == 0));
        for (int p = 0; p < 3; ++p) {
            FUZZ_CHECK(finite(r.currents[p]) && r.currents[p] >= 0.0);
            FUZZ_CHECK(r.rawCurrents[p] == log.rawCurrent(i, p));
        }
        faultText(r.code);
    }
}

void checkWorkLog(const ProtocolPacket &log, int modification)
{
    const auto *v50 = dynamic_cast<const ProtocolPacketV50 *>(&log);
    FUZZ_CHECK((v50 != nullptr) == (modification >= PacketFactory::kModificationV50));
    FUZZ_CHECK(!log.event(-1) && !log.event(ProtocolPacket::kRecords));
    for (int i = 0; i < ProtocolPacket::kRecords; ++i) {
        const std::unique_ptr<EventData> e = log.event(i);
        FUZZ_CHECK(e && e->code == log.code(i) && e->time == log.time(i));
        if (v50)
            FUZZ_CHECK(finite(v50->startPeak(i)) && v50->startPeak(i) >= 0.0f);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const int block = in.byte() % BlockCount;
    const int modification = qint16(in.word());
    const int scale = in.word(); // the device reports its current scale in one register

    std::unique_ptr<DataPacket> packet = makeBlock(block, modification, scale);
    std::map<quint32, quint16> wanted;
    PacketRegisters::fill(*packet, [&](quint32 r) { return wanted[r] = in.word(); });
    const std::map<quint32, quint16> registers = checkRequests(*packet, block == Configuration);
    FUZZ_CHECK(registers == wanted);

    // A copy has registers of its own: it keeps the values when the original goes.
    std::unique_ptr<DataPacket> copy(packet->clone());
    const DataPacket &original = *packet, &copied = *copy;
    FUZZ_CHECK(typeid(copied) == typeid(original));
    PacketRegisters::fill(*packet, [](quint32 r) { return quint16(~r); });
    packet.reset();
    FUZZ_CHECK(checkRequests(*copy, block == Configuration) == registers);

    switch (block) {
    case Monitoring: checkMonitoring(static_cast<const WatchDataPacket &>(*copy), registers, modification); break;
    case WorkLog: checkWorkLog(static_cast<const ProtocolPacket &>(*copy), modification); break;
    case Configuration: checkConfiguration(static_cast<const ConfigPacket &>(*copy), modification, scale); break;
    case Search: {
        const auto &s = static_cast<const SearchPacket &>(*copy);
        FUZZ_CHECK(s.currentScale() == reg(registers, 1) && s.modification() == reg(registers, 4));
        break;
    }
    case StartCurve: checkStartCurve(static_cast<const RunConfigPacket &>(*copy), scale); break;
    case AutoSetup: {
        const auto &a = static_cast<const RunConfigProgressPacket &>(*copy);
        FUZZ_CHECK(a.state() >= RunConfigProgressPacket::Other && a.state() <= RunConfigProgressPacket::Finished);
        FUZZ_CHECK(!a.autoSetupAvailable() || a.state() != RunConfigProgressPacket::Running);
        break;
    }
    case Oscillogram: checkOscillogram(static_cast<const CrashOscillogramPacket &>(*copy)); break;
    default: checkCrashLog(static_cast<const CrashProtocolPacket &>(*copy)); break;
    }
    return 0;
}
