#include "modbustcpline.h"

#include "linklog.h"
#include "modbusport.h"

#include <QtEndian>

namespace {
constexpr int kHeader = 7;    // transaction, protocol, length (2 each), unit
constexpr int kCrcSize = 2;
constexpr quint16 kLargestLength = 254; // unit and a PDU of at most 253 bytes
} // namespace

QByteArray ModbusTcpLine::toMbap(const quint8 *rtu, qint64 size, quint16 transactionId)
{
    const qint64 pdu = size - 1 - kCrcSize;
    QByteArray out(kHeader, 0);
    qToBigEndian<quint16>(transactionId, out.data());
    qToBigEndian<quint16>(0, out.data() + 2);
    qToBigEndian<quint16>(quint16(pdu + 1), out.data() + 4);
    out[6] = char(rtu[0]);
    out.append(reinterpret_cast<const char *>(rtu + 1), int(pdu));
    return out;
}

QByteArray ModbusTcpLine::encode(const quint8 *frame, qint64 size)
{
    if (size < 1 + kCrcSize + 1)
        return QByteArray();
    return toMbap(frame, size, ++transaction);
}

void ModbusTcpLine::decode(const quint8 *raw, qint64 size)
{
    incoming.append(reinterpret_cast<const char *>(raw), int(size));
    while (incoming.size() >= kHeader) {
        const auto *h = reinterpret_cast<const uchar *>(incoming.constData());
        const quint16 id = qFromBigEndian<quint16>(h), length = qFromBigEndian<quint16>(h + 4);
        if (length < 2 || length > kLargestLength) { // not Modbus TCP: the stream cannot be followed
            pending += incoming;
            incoming.clear();
            return;
        }
        if (incoming.size() < 6 + length)
            return;
        QByteArray rtu = incoming.mid(6, length);
        incoming.remove(0, 6 + length);
        if (id != transaction) {
            qCDebug(lcLink) << "dropped a reply to an earlier request" << id;
            continue;
        }
        ModbusPort::appendCrc(rtu);
        pending += rtu;
    }
}
