// The network lines' framings fed a stream from the other end in pieces of any size:
// RTU over raw TCP, Modbus TCP headers, Telnet negotiation with COM-port control.
// Input: the kind, then pieces as a length byte and that many bytes, each taken by a
// read as it comes. Whatever comes, one piece never yields more than itself and the
// one frame the framing may have carried over, and on raw TCP every byte is either
// read or dropped.
#include "link/modbustcpline.h"
#include "link/rfc2217line.h"
#include "link/tcpline.h"
#include "tests/fuzz/fuzzinput.h"

#include <memory>

namespace {

// The framing of a line without a connection: what decode keeps and drops.
template <class L>
struct Fed : L
{
    explicit Fed(const QByteArray &url) : L(url) {}
    using L::decode;
    using L::encode;
    int held() const { return L::pending.size(); }
    void takeHeld() { L::pending.clear(); }
    quint64 dropped() const { return L::dropped.count; }
};

template <class L>
void feed(FuzzInput &in, const QByteArray &url, bool lossless)
{
    Fed<L> line(url);
    // A request first, so that a Modbus TCP reply has a transaction to answer.
    const quint8 request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x11, 0x85, 0xC6};
    FUZZ_CHECK(!line.encode(request, sizeof request).isEmpty());
    quint64 received = 0, taken = 0;
    while (in.restSize() != 0) {
        QByteArray piece;
        for (int n = in.byte(); n > 0 && in.restSize() != 0; --n)
            piece.append(char(in.byte()));
        line.decode(reinterpret_cast<const quint8 *>(piece.constData()), piece.size());
        received += quint64(piece.size());
        // A Modbus TCP frame of at most kLargestFrame RTU bytes may have been carried over.
        FUZZ_CHECK(line.held() <= piece.size() + Line::kLargestFrame);
        taken += quint64(line.held());
        line.takeHeld();
        if (lossless) // raw TCP carries RTU bytes as they are
            FUZZ_CHECK(taken + line.dropped() == received);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    switch (in.byte() % 3) {
    case 0:
        feed<TcpLine>(in, "tcp://127.0.0.1:1", true);
        break;
    case 1:
        feed<ModbusTcpLine>(in, "modbus-tcp://127.0.0.1:1", false);
        break;
    default:
        feed<Rfc2217Line>(in, "rfc2217://127.0.0.1:1", false);
        break;
    }
    return 0;
}
