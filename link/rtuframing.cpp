#include "link/rtuframing.h"

#include <QtEndian>

#include <cstring>

namespace {
constexpr int kExceptionReply = 5; // address, function | 0x80, code, CRC
constexpr int kWriteReply = 8;     // address, function, register, value or count, CRC
constexpr int kReadOverhead = 5;   // address, function, byte count, CRC
} // namespace

int RtuFraming::bitsPerCharacter(bool parity, int stopBits)
{
    return 1 + 8 + (parity ? 1 : 0) + stopBits;
}

int RtuFraming::silenceUs(quint32 baud, int bitsPerCharacter)
{
    if (baud == 0)
        return kMinSilenceUs;
    const qint64 us = (qint64(bitsPerCharacter) * 3500000 + baud - 1) / baud; // 3.5 characters, rounded up
    return int(qMax<qint64>(us, kMinSilenceUs));
}

bool RtuFraming::startsWithEcho(const QByteArray &request, const quint8 *bytes, qint64 size)
{
    return size >= request.size() && std::memcmp(bytes, request.constData(), size_t(request.size())) == 0;
}

bool RtuFraming::echoPossible(const QByteArray &request, bool lineEchoes)
{
    return request.size() > 1 && (quint8(request[1]) != kFunctionWriteSingle || lineEchoes);
}

qint64 RtuFraming::replyLength(const QByteArray &request, const quint8 *bytes, qint64 size, bool echoPossible)
{
    if (request.size() < 6)
        return 0;
    qint64 offset = 0;
    if (echoPossible) {
        const qint64 compared = qMin<qint64>(size, request.size());
        if (std::memcmp(bytes, request.constData(), size_t(compared)) == 0) {
            if (size < request.size())
                return 0; // a copy of the request so far, or a reply that starts like one
            offset = request.size();
        }
    }
    if (size - offset < 2)
        return 0;
    if (bytes[offset + 1] & kExceptionBit)
        return offset + kExceptionReply;
    if (quint8(request[1]) != kFunctionReadHolding)
        return offset + kWriteReply;
    const int count = qFromBigEndian<quint16>(reinterpret_cast<const uchar *>(request.constData()) + 4);
    return offset + kReadOverhead + 2 * count;
}
