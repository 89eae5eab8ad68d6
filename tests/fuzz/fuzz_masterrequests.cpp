// What Modbus TCP masters send the gateway, split into frames as its server splits
// them and handed to a line's arbiter: every request accepted gets exactly one reply
// (at once, or when the line goes down), a refusal is an exception of its function, an
// answer from the poll's reading has the registers asked, and a client is refused only
// when its queue is full.
// Input: a reading of the poll (unit, count, then the stream from the master), the
// client of each frame taken from its transaction id.
#include "exchange/linearbiter.h"
#include "link/modbustcpline.h"
#include "link/rtuframing.h"
#include "tests/fuzz/fuzzinput.h"

#include <QHash>
#include <QtEndian>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    LineArbiter::Settings settings;
    settings.cacheMs = 60000;
    LineArbiter arbiter(settings);
    const quint8 readingUnit = in.byte();
    quint16 values[RtuFraming::kMaxReadRegisters];
    const int count = in.byte() % (RtuFraming::kMaxReadRegisters + 1);
    for (int i = 0; i < count; ++i)
        values[i] = quint16(i);
    if (count > 0)
        arbiter.remember(readingUnit, 33, values, count);

    QByteArray stream;
    while (in.restSize() != 0)
        stream.append(char(in.byte()));
    int accepted = 0, replies = 0;
    QHash<quint64, int> queued;
    for (int at = 0;;) {
        const auto *h = reinterpret_cast<const uchar *>(stream.constData()) + at;
        const int frame = ModbusTcpLine::frameSize(h, stream.size() - at);
        if (frame <= 0 || stream.size() - at < frame)
            break; // the server ends the connection, or waits for the rest
        const quint64 client = qFromBigEndian<quint16>(h) % 4;
        const QByteArray pdu = stream.mid(at + ModbusTcpLine::kHeaderSize, frame - ModbusTcpLine::kHeaderSize);
        const auto now = std::make_shared<bool>(false); // answered before submit returned
        const bool taken = arbiter.submit(client, h[6], pdu, [&replies, now, pdu](const LineArbiter::Reply &r) {
            ++replies;
            *now = true;
            FUZZ_CHECK(!r.pdu.isEmpty());
            if (r.result == LineArbiter::Result::Cached) {
                FUZZ_CHECK(r.pdu.size() == 2 + 2 * qFromBigEndian<quint16>(pdu.constData() + 3));
            } else {
                FUZZ_CHECK(r.pdu.size() == 2 && quint8(r.pdu[0]) == (quint8(pdu.isEmpty() ? 0 : pdu[0]) | 0x80));
            }
        });
        if (taken) {
            ++accepted;
            queued[client] += *now ? 0 : 1;
        } else {
            FUZZ_CHECK(queued.value(client) == LineArbiter::kQueuePerClient);
        }
        at += frame;
    }
    arbiter.lineDown();
    FUZZ_CHECK(replies == accepted);
    FUZZ_CHECK(!arbiter.hasWork());
    return 0;
}
