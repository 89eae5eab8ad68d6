// The PARMRK decoder, fed any byte stream cut into reads at any points.
// Input: the first byte picks where the reads are cut; the rest is the raw stream.
#include "link/paritymarkdecoder.h"
#include "tests/fuzz/fuzzinput.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Decoded
{
    std::vector<quint8> bytes;
    int characterErrors = 0;
    int breaks = 0;
};

// Decodes the stream in reads of the given lengths (cycled), each into an output
// buffer of exactly the documented n + 1 bytes, so any overrun is caught.
Decoded decodeInReads(const quint8 *raw, std::size_t size, const std::vector<std::size_t> &reads)
{
    ParityMarkDecoder decoder;
    Decoded d;
    std::size_t at = 0;
    for (std::size_t k = 0; at < size; ++k) {
        const std::size_t n = std::min(reads[k % reads.size()], size - at);
        std::vector<quint8> out(n + 1);
        const std::size_t written = decoder.decode(raw + at, n, out.data());
        FUZZ_CHECK(written <= n + 1);
        d.bytes.insert(d.bytes.end(), out.begin(), out.begin() + std::ptrdiff_t(written));
        at += n;
        // Never more data bytes than raw bytes so far.
        FUZZ_CHECK(d.bytes.size() <= at);
    }
    d.characterErrors = decoder.takeCharacterErrors();
    d.breaks = decoder.takeBreaks();
    FUZZ_CHECK(decoder.takeCharacterErrors() == 0 && decoder.takeBreaks() == 0);
    return d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const quint8 cut = in.byte();
    const quint8 *raw = in.rest();
    const std::size_t n = in.restSize();

    const Decoded whole = decodeInReads(raw, n, {n == 0 ? 1 : n});
    const Decoded pieces = decodeInReads(raw, n, {std::size_t(1 + cut % 7), std::size_t(1 + cut / 7 % 5)});
    // Where the kernel's reads end must not change what is decoded.
    FUZZ_CHECK(pieces.bytes == whole.bytes);
    FUZZ_CHECK(pieces.characterErrors == whole.characterErrors);
    FUZZ_CHECK(pieces.breaks == whole.breaks);

    // Every error or break is announced by its own 0xFF.
    const auto marks = std::count(raw, raw + n, quint8(0xFF));
    FUZZ_CHECK(whole.characterErrors + whole.breaks <= marks);
    // A stream without 0xFF is plain data.
    if (marks == 0)
        FUZZ_CHECK(whole.bytes.size() == n && (n == 0 || std::memcmp(whole.bytes.data(), raw, n) == 0));

    // The same bytes as the kernel escapes them for a clean line come back unchanged.
    std::vector<quint8> escaped;
    for (std::size_t i = 0; i < n; ++i) {
        escaped.push_back(raw[i]);
        if (raw[i] == 0xFF)
            escaped.push_back(0xFF);
    }
    const Decoded clean = decodeInReads(escaped.data(), escaped.size(), {std::size_t(1 + cut % 3)});
    FUZZ_CHECK(clean.bytes.size() == n && (n == 0 || std::memcmp(clean.bytes.data(), raw, n) == 0));
    FUZZ_CHECK(clean.characterErrors == 0 && clean.breaks == 0);
    return 0;
}
