// The master's reply judging, fed any reply bytes to each kind of request it sends.
// Input: kind and fix-up flags, slave, first register, count, request words; then
// the reply. The flags give the reply its slave address and a correct CRC, so the
// fuzzer reaches the judging that follows those two checks.
#include "link/rtuframing.h"
#include "tests/fuzz/fuzzinput.h"

#include <QtEndian>

#include <cstring>
#include <vector>

namespace {

using Failure = RtuFraming::Failure;

enum Kind { Read, WriteSingle, WriteMultiple, KindCount };
constexpr quint8 kFixAddress = 0x10;
constexpr quint8 kFixCrc = 0x20;
constexpr quint16 kCanary = 0xA55A;

quint16 bigEndianAt(const quint8 *p)
{
    return quint16(p[0] << 8 | p[1]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const quint8 mode = in.byte();
    const int kind = (mode & 0x0F) % KindCount;
    const quint8 slave = in.byte();
    const quint32 firstRegister = in.word();
    const quint8 countByte = in.byte();

    QByteArray request;
    int count = 0;
    std::vector<quint16> sent;
    switch (kind) {
    case Read:
        count = 1 + countByte % RtuFraming::kMaxReadRegisters;
        request = RtuFraming::readRequest(slave, firstRegister, quint16(count));
        break;
    case WriteSingle:
        request = RtuFraming::writeSingleRequest(slave, firstRegister, in.word());
        break;
    default:
        count = 1 + countByte % RtuFraming::kMaxWriteRegisters;
        for (int i = 0; i < count; ++i)
            sent.push_back(quint16(i * 0x0101 + countByte));
        request = RtuFraming::writeMultipleRequest(slave, firstRegister, sent.data(), quint16(count));
        break;
    }
    RtuFraming::appendCrc(request);

    // The reply in a buffer of exactly its size, so a read past it is caught.
    std::vector<quint8> reply(in.rest(), in.rest() + in.restSize());
    if ((mode & kFixAddress) && !reply.empty())
        reply[0] = slave;
    if ((mode & kFixCrc) && reply.size() >= 2) {
        const quint16 crc = RtuFraming::crc16(reply.data(), qint64(reply.size() - 2));
        reply[reply.size() - 2] = quint8(crc & 0xFF);
        reply[reply.size() - 1] = quint8(crc >> 8);
    }
    const qint64 n = qint64(reply.size());
    const quint8 *r = reply.empty() ? nullptr : reply.data();

    // Room for the count asked, exactly, plus the canary: only a sound read may write it.
    std::vector<quint16> values(std::size_t(qMax(count, 1)), kCanary);
    int exception = -1;
    const Failure verdict = RtuFraming::judge(request, r, n, exception, values.data());

    int again = -1;
    FUZZ_CHECK(RtuFraming::judge(request, r, n, again) == verdict);
    FUZZ_CHECK(again == exception);

    const bool soundFrame = n >= 4 && RtuFraming::checkCrc(r, n);
    FUZZ_CHECK(exception == 0 || exception == RtuFraming::kCrcException
               || (n >= 3 && exception == r[2] && verdict == Failure::Exception));
    FUZZ_CHECK((n == 0) == (verdict == Failure::NoAnswer));
    if (verdict == Failure::WrongAddress)
        FUZZ_CHECK(slave != 0 && r[0] != slave && exception == 0);
    if (verdict == Failure::ShortReply || verdict == Failure::CrcError)
        FUZZ_CHECK(exception == RtuFraming::kCrcException);
    if (verdict == Failure::CrcError)
        FUZZ_CHECK(!soundFrame);
    if (verdict == Failure::Exception)
        FUZZ_CHECK(soundFrame && n >= 5 && (r[1] & 0x80) && exception == r[2]);
    if (verdict == Failure::EchoMismatch)
        FUZZ_CHECK(kind == WriteSingle && soundFrame && std::memcmp(r, request.constData(), 6) != 0);

    if (verdict == Failure::None) {
        FUZZ_CHECK(soundFrame && exception == 0);
        FUZZ_CHECK(slave == 0 || r[0] == slave);
        FUZZ_CHECK(!(r[1] & 0x80));
        if (kind == Read) {
            FUZZ_CHECK(n >= 5 + 2 * count);
            for (int i = 0; i < count; ++i)
                FUZZ_CHECK(values[std::size_t(i)] == bigEndianAt(r + 3 + 2 * i));
        }
        if (kind == WriteSingle)
            FUZZ_CHECK(n >= 8 && std::memcmp(r, request.constData(), 6) == 0);
    }
    if (verdict != Failure::None || kind != Read) {
        for (quint16 v : values)
            FUZZ_CHECK(v == kCanary);
    }
    // What the master sends is never judged a bad request.
    FUZZ_CHECK(verdict != Failure::BadRequest);
    return 0;
}
