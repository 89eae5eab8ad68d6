#include "sim/simframe.h"

#include "link/rtuframing.h"

namespace {

constexpr int kFixedRequest = 8;  // function 3 and 6 requests: 6 bytes and the CRC
constexpr int kMultipleHeader = 7; // function 16: address, function, start, count, byte count
constexpr int kCrcBytes = 2;

void putWord(QByteArray &frame, int value)
{
    frame.append(char((value >> 8) & 0xFF));
    frame.append(char(value & 0xFF));
}

QByteArray withCrc(QByteArray frame)
{
    RtuFraming::appendCrc(frame);
    return frame;
}

} // namespace

quint16 SimFrame::word(int at) const
{
    if (at + 1 >= bytes.size())
        return 0;
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}

SimFrame SimFrame::parse(const QByteArray &frame)
{
    SimFrame f;
    f.bytes = frame;
    f.address = frame.size() > 0 ? quint8(frame[0]) : -1;
    f.function = frame.size() > 1 ? quint8(frame[1]) : -1;
    switch (f.function) {
    case ReadHolding: f.parseRead(); break;
    case WriteSingle: f.parseWriteSingle(); break;
    case WriteMultiple: f.parseWriteMultiple(); break;
    default: f.wellFormed = frame.size() >= kMinFrame; break;
    }
    return f;
}

void SimFrame::parseRead()
{
    wellFormed = bytes.size() == kFixedRequest;
    firstRegister = word(2) + 1;
    count = word(4);
}

void SimFrame::parseWriteSingle()
{
    wellFormed = bytes.size() == kFixedRequest;
    firstRegister = word(2) + 1;
    count = 1;
    values = {word(4)};
}

void SimFrame::parseWriteMultiple()
{
    firstRegister = word(2) + 1;
    count = word(4);
    byteCount = bytes.size() > 6 ? quint8(bytes[6]) : -1;
    wellFormed = byteCount == 2 * count && bytes.size() == kMultipleHeader + byteCount + kCrcBytes;
    if (!wellFormed)
        return;
    for (int i = 0; i < count; ++i)
        values.append(word(kMultipleHeader + 2 * i));
}

QByteArray SimFrame::readReply(int address, const QVector<quint16> &values)
{
    QByteArray f;
    f.append(char(address));
    f.append(char(ReadHolding));
    f.append(char(values.size() * 2));
    for (quint16 v : values)
        putWord(f, v);
    return withCrc(f);
}

QByteArray SimFrame::echoReply(const QByteArray &request)
{
    return request; // a write-single answer repeats the request, CRC and all
}

QByteArray SimFrame::writeMultipleReply(int address, int firstRegister, int count)
{
    QByteArray f;
    f.append(char(address));
    f.append(char(WriteMultiple));
    putWord(f, firstRegister - 1);
    putWord(f, count);
    return withCrc(f);
}

QByteArray SimFrame::exceptionReply(int address, int function, int code)
{
    QByteArray f;
    f.append(char(address));
    f.append(char((function | kExceptionBit) & 0xFF));
    f.append(char(code));
    return withCrc(f);
}
