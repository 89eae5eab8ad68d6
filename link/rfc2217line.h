#pragma once

#include "link/tcpline.h"

#include <bitset>

// Modbus RTU over a Telnet connection with COM-port control ("rfc2217://HOST:PORT"):
// the speed, data size, parity, stop bits and the modem lines are set on the device
// server as on a local port. Data bytes 0xFF travel doubled; the server's Telnet
// commands are answered and kept out of the data.
class Rfc2217Line : public TcpLine
{
public:
    explicit Rfc2217Line(const QByteArray &url) : TcpLine(url) {}

    bool setSpeed(quint32 baud) override;
    bool setFormat(Parity parity, int stopBits, bool keep = false) override;
    bool canSetFormat() const override { return true; }
    // Asked for; a server in front of a line without modem lines may not answer.
    bool raiseModemLines() override;

    // The subnegotiation that sets one COM-port parameter.
    static QByteArray comPortCommand(quint8 command, const QByteArray &value);

protected:
    bool start() override;
    QByteArray encode(const quint8 *frame, qint64 size) override;
    void decode(const quint8 *raw, qint64 size) override;

private:
    bool sendCommand(const QByteArray &bytes);
    void answer(quint8 verb, quint8 option);

    enum class State { Data, Iac, Verb, Sub, SubIac };
    State state = State::Data;
    quint8 verb = 0;
    std::bitset<512> refused; // options refused, per direction: a refusal is not repeated
    Parity lastParity = Parity::Even;
    int lastStopBits = 1;
};
