#pragma once

#include "link/tcpline.h"

// Modbus TCP to a gateway ("modbus-tcp://HOST[:PORT]", port 502 by default): each
// RTU frame goes out as its PDU behind an MBAP header whose unit identifier is the
// frame's slave address, and each reply comes back as the RTU frame the gateway's
// line carried, CRC included, so that everything above judges it as on a serial line.
// A reply ends by its MBAP length; one to an earlier request is dropped, and so is
// whatever does not read as Modbus TCP.
class ModbusTcpLine : public TcpLine
{
public:
    static constexpr quint16 kDefaultPort = 502;
    static constexpr int kHeaderSize = 7;       // transaction, protocol, length (2 each), unit
    static constexpr quint16 kLargestLength = 254; // the length field: unit and a PDU of at most 253 bytes

    explicit ModbusTcpLine(const QByteArray &url) : TcpLine(url, kDefaultPort) {}

    bool open() override;

    // MBAP header and PDU of an RTU frame (address, PDU, CRC).
    static QByteArray toMbap(const quint8 *rtu, qint64 size, quint16 transaction);
    // A Modbus TCP frame: the header and the PDU behind it.
    static QByteArray frame(quint16 transaction, quint8 unit, const QByteArray &pdu);
    // The size of the whole frame that starts at bytes: 0 while fewer than a header's
    // bytes are there, -1 when they are no MBAP header (another protocol, a bad length).
    static int frameSize(const uchar *bytes, qint64 available);

protected:
    QByteArray encode(const quint8 *frame, qint64 size) override;
    void decode(const quint8 *raw, qint64 size) override;

private:
    quint16 transaction = 0;
    QByteArray incoming; // MBAP bytes not yet a whole frame: at most one frame and one read
};
