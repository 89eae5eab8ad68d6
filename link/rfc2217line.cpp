#include "link/rfc2217line.h"

#include <QtEndian>

#include "link/socketio.h"

#include <cerrno>
#include <initializer_list>

namespace {
// Telnet (RFC 854) and its COM-port control option (RFC 2217).
constexpr quint8 kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr quint8 kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
constexpr quint8 kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5;
constexpr quint8 kParityNone = 1, kParityOdd = 2, kParityEven = 3;
constexpr quint8 kControlDtrOn = 8, kControlRtsOn = 11;
constexpr quint8 kDataBits = 8;

QByteArray bytes(std::initializer_list<quint8> list)
{
    QByteArray out;
    for (quint8 b : list)
        out += char(b);
    return out;
}

bool wanted(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

} // namespace

QByteArray Rfc2217Line::comPortCommand(quint8 command, const QByteArray &value)
{
    QByteArray out = bytes({kIac, kSb, kComPort, command});
    for (char c : value) { // 0xFF in a value travels doubled too
        out += c;
        if (quint8(c) == kIac)
            out += c;
    }
    return out + bytes({kIac, kSe});
}

bool Rfc2217Line::sendCommand(const QByteArray &command)
{
    if (fd < 0)
        return fail(EBADF);
    return SocketIo::send(fd, command.constData(), size_t(command.size())) == command.size() || fail(errno);
}

// We speak binary both ways, without go-ahead, and offer the COM-port option;
// then the line starts at 19200 bit/s 8E1 as a local port does.
bool Rfc2217Line::start()
{
    const QByteArray offer = bytes({kIac, kWill, kComPort, kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill,
                                    kSuppressGoAhead, kIac, kDo, kSuppressGoAhead});
    state = State::Data;
    refused.reset();
    return sendCommand(offer) && setSpeed(19200) && setFormat(Parity::Even, 1);
}

bool Rfc2217Line::setSpeed(quint32 baud)
{
    QByteArray value(4, 0);
    qToBigEndian<quint32>(baud, value.data());
    return sendCommand(comPortCommand(kSetBaudRate, value));
}

bool Rfc2217Line::setFormat(Parity parity, int stopBits, bool keep)
{
    if (!keep) {
        lastParity = parity;
        lastStopBits = stopBits;
    }
    const quint8 p = lastParity == Parity::Even ? kParityEven : lastParity == Parity::Odd ? kParityOdd : kParityNone;
    return sendCommand(comPortCommand(kSetDataSize, QByteArray(1, char(kDataBits))))
        && sendCommand(comPortCommand(kSetParity, QByteArray(1, char(p))))
        && sendCommand(comPortCommand(kSetStopSize, QByteArray(1, char(lastStopBits == 2 ? 2 : 1))));
}

bool Rfc2217Line::raiseModemLines()
{
    return sendCommand(comPortCommand(kSetControl, QByteArray(1, char(kControlDtrOn))))
        && sendCommand(comPortCommand(kSetControl, QByteArray(1, char(kControlRtsOn))));
}

QByteArray Rfc2217Line::encode(const quint8 *frame, qint64 size)
{
    QByteArray out;
    out.reserve(int(size) + 4);
    for (qint64 i = 0; i < size; ++i) {
        out += char(frame[i]);
        if (frame[i] == kIac)
            out += char(kIac);
    }
    return out;
}

void Rfc2217Line::answer(quint8 request, quint8 option)
{
    // Agree to what we want, refuse the rest; an agreement already given is not repeated.
    const bool asksUsToDo = request == kDo || request == kDont;
    const quint8 reply = wanted(option) && (request == kDo || request == kWill)
        ? (asksUsToDo ? kWill : kDo)
        : (asksUsToDo ? kWont : kDont);
    if ((request == kDo && reply == kWill) || (request == kWill && reply == kDo))
        return; // we offered it ourselves at the start
    if (reply == kWont || reply == kDont) {
        const std::size_t which = option + (asksUsToDo ? 256u : 0u);
        if (refused.test(which))
            return; // a peer that asks again and again gets one answer
        refused.set(which);
    }
    sendCommand(bytes({kIac, reply, option}));
}

void Rfc2217Line::decode(const quint8 *raw, qint64 size)
{
    for (qint64 i = 0; i < size; ++i) {
        const quint8 b = raw[i];
        switch (state) {
        case State::Data:
            if (b == kIac)
                state = State::Iac;
            else
                pending += char(b);
            break;
        case State::Iac:
            if (b == kIac) { // a doubled 0xFF is a data byte
                pending += char(b);
                state = State::Data;
            } else if (b == kSb) {
                state = State::Sub; // the server's notifications are not used
            } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                verb = b;
                state = State::Verb;
            } else {
                state = State::Data; // other commands carry nothing for us
            }
            break;
        case State::Verb:
            answer(verb, b);
            state = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                state = State::SubIac;
            break;
        case State::SubIac:
            state = b == kSe ? State::Data : State::Sub;
            break;
        }
    }
}
