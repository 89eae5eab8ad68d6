// The application protocol built from any work and crash log words, with the
// program's own entries. Input: modification, current scale, an application entry
// code and a motor command, then the log words as a read fills them.
#include "device/appprotocoleventengine.h"
#include "device/crashprotocolevent.h"
#include "device/crashprotocolpacket.h"
#include "device/eventprotocolevent.h"
#include "device/faulttext.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/protocollist.h"
#include "device/protocolpacketv50.h"
#include "tests/fuzz/fuzzinput.h"

#include <QFileInfo>

#include <cstdlib>
#include <set>
#include <tuple>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Device times are shown in local time: a zone with daylight saving changes in
    // its past puts repeated and skipped hours into the merge.
    if (QFileInfo::exists(QStringLiteral("/usr/share/zoneinfo/Europe/Moscow")))
        setenv("TZ", "Europe/Moscow", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const int modification = qint16(in.word());
    const int scale = in.word();
    const int appCode = in.int32();
    const auto command = EngineCommand(in.int32());

    std::unique_ptr<ProtocolPacket> work = PacketFactory::workProtocol(modification);
    CrashProtocolPacket crash(scale);
    PacketRegisters::fill(*work, [&](quint32) { return in.word(); });
    PacketRegisters::fill(crash, [&](quint32) { return in.word(); });

    // What the list must hold: each distinct non-empty record once.
    std::set<std::tuple<int, quint32, int>> distinct;
    for (int i = 0; i < ProtocolPacket::kRecords; ++i) {
        if (work->code(i) != 0)
            distinct.emplace(ProtocolEvent::WorkLog, work->time(i), work->code(i));
        if (crash.code(i) != 0)
            distinct.emplace(ProtocolEvent::CrashLog, crash.time(i), crash.code(i));
    }

    ProtocolList list;
    list.insert(std::make_unique<AppProtocolEvent>(appCode));
    list.insert(std::make_unique<AppProtocolEventEngine>(command));
    FUZZ_CHECK(list.merge(*work, crash) == int(distinct.size()));
    FUZZ_CHECK(list.size() == int(distinct.size()) + 2);
    // The next poll reads the same logs: nothing is added twice.
    FUZZ_CHECK(list.merge(*work, crash) == 0);

    const auto *v50 = dynamic_cast<const ProtocolPacketV50 *>(work.get());
    for (int i = 0; i < list.size(); ++i) {
        const ProtocolEvent &e = list.at(i);
        FUZZ_CHECK(i == 0 || list.at(i - 1).time().toSecsSinceEpoch() >= e.time().toSecsSinceEpoch());
        const QString text = e.text();
        switch (e.kind()) {
        case ProtocolEvent::WorkLog: {
            const EventData &d = static_cast<const EventProtocolEvent &>(e).data();
            FUZZ_CHECK(text.isEmpty() == (d.code != EventData::MotorStop && d.code != EventData::MotorStart));
            FUZZ_CHECK(d.version() == (v50 ? 50 : 0));
            // A start from modification 50 on names its peak current.
            if (v50 && d.code == EventData::MotorStart)
                FUZZ_CHECK(text.endsWith(QStringLiteral("А)")));
            break;
        }
        case ProtocolEvent::CrashLog:
            FUZZ_CHECK(text == faultText(static_cast<const CrashProtocolEvent &>(e).code()));
            break;
        default:
            FUZZ_CHECK(e.kind() == ProtocolEvent::Application);
            break;
        }
    }

    list.removeKind(ProtocolEvent::Application);
    list.removeKind(ProtocolEvent::CrashLog);
    int workEntries = 0;
    for (const auto &d : distinct)
        workEntries += std::get<0>(d) == ProtocolEvent::WorkLog;
    FUZZ_CHECK(list.size() == workEntries);
    return 0;
}
