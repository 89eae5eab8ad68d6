#include "link/modbustcpline.h"

#include "link/linklog.h"
#include "link/rtuframing.h"

#include <QtEndian>

QByteArray ModbusTcpLine::toMbap(const quint8 *rtu, qint64 size, quint16 transactionId)
{
    const qint64 pdu = size - 1 - RtuFraming::kCrcSize;
    return frame(transactionId, rtu[0], QByteArray(reinterpret_cast<const char *>(rtu + 1), int(pdu)));
}

QByteArray ModbusTcpLine::frame(quint16 transactionId, quint8 unit, const QByteArray &pdu)
{
    QByteArray out(kHeaderSize, 0);
    qToBigEndian<quint16>(transactionId, out.data());
    qToBigEndian<quint16>(0, out.data() + 2);
    qToBigEndian<quint16>(quint16(pdu.size() + 1), out.data() + 4);
    out[6] = char(unit);
    return out + pdu;
}

int ModbusTcpLine::frameSize(const uchar *h, qint64 available)
{
    if (available < kHeaderSize)
        return 0;
    const quint16 protocol = qFromBigEndian<quint16>(h + 2), length = qFromBigEndian<quint16>(h + 4);
    if (protocol != 0 || length < 2 || length > kLargestLength)
        return -1;
    return 6 + length;
}

bool ModbusTcpLine::open()
{
    incoming.clear(); // a part of a frame of the connection before is not the start of one
    return TcpLine::open();
}

QByteArray ModbusTcpLine::encode(const quint8 *frame, qint64 size)
{
    if (size < 1 + RtuFraming::kCrcSize + 1)
        return QByteArray();
    return toMbap(frame, size, ++transaction);
}

// Bytes that do not start a header are dropped one at a time until one does, so that
// a stream that is not Modbus TCP is never kept and one that lost its place finds it.
void ModbusTcpLine::decode(const quint8 *raw, qint64 size)
{
    incoming.append(reinterpret_cast<const char *>(raw), int(size));
    int at = 0;
    while (incoming.size() - at >= kHeaderSize) {
        const auto *h = reinterpret_cast<const uchar *>(incoming.constData()) + at;
        const int size = frameSize(h, incoming.size() - at);
        if (size < 0) {
            dropped.add(incoming.constData() + at, 1);
            ++at;
            continue;
        }
        if (incoming.size() - at < size)
            break;
        QByteArray rtu = incoming.mid(at + 6, size - 6);
        const quint16 id = qFromBigEndian<quint16>(h);
        if (id == transaction) {
            RtuFraming::appendCrc(rtu);
            pending += rtu;
        } else {
            qCDebug(lcLink) << "dropped a reply to an earlier request" << id;
            dropped.add(incoming.constData() + at, size);
        }
        at += size;
    }
    incoming.remove(0, at); // less than a whole frame is left
}
