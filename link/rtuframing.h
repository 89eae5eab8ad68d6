#pragma once

#include <QByteArray>
#include <QtGlobal>

// Where a Modbus RTU reply ends, judged from the request it answers: its length is
// known from the function (5 + 2n for a read of n registers, 8 for the echo of a
// write, 5 for an exception), and a frame ends on 3.5 characters of silence.
class RtuFraming
{
public:
    static constexpr int kMinSilenceUs = 1750; // the RTU framing's floor for fast lines
    static constexpr quint8 kFunctionReadHolding = 3;
    static constexpr int kFunctionWriteSingle = 6;
    static constexpr int kFunctionWriteMultiple = 16;
    static constexpr quint8 kExceptionBit = 0x80; // set in the function code of an exception reply

    // 3.5 characters at this speed and frame format, at least kMinSilenceUs.
    static int silenceUs(quint32 baud, int bitsPerCharacter);
    // Bits of one character: start, 8 data, parity, stop bits.
    static int bitsPerCharacter(bool parity, int stopBits);

    // The length the reply has (an echo of the request before it included, where the
    // bytes show one), or 0 while the bytes cannot tell yet.
    static qint64 replyLength(const QByteArray &request, const quint8 *bytes, qint64 size, bool echoPossible);
    // Whether the bytes start with a whole copy of the request.
    static bool startsWithEcho(const QByteArray &request, const quint8 *bytes, qint64 size);
    // A copy of a write-single request is also its reply: only a line known to echo
    // has one before the reply.
    static bool echoPossible(const QByteArray &request, bool lineEchoes);
};
