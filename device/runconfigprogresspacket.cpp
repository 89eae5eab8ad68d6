#include "device/runconfigprogresspacket.h"

#include "device/registermap.h"

#include <algorithm>
#include <iterator>

namespace {

// The state word reads "finished" until the device has filled it.
constexpr quint16 kInitialState = 2;
// Share of recorded data below which auto-setup is not offered.
constexpr double kMinCompleteness = 0.1;

} // namespace

RunConfigProgressPacket::RunConfigProgressPacket()
{
    words[0] = kInitialState;
    addRequest(words, sizeof words, RegisterMap::AutoSetupState);
}

RunConfigProgressPacket::RunConfigProgressPacket(const RunConfigProgressPacket &other)
    : RunConfigProgressPacket()
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

RunConfigProgressPacket *RunConfigProgressPacket::clone() const
{
    return new RunConfigProgressPacket(*this);
}

int RunConfigProgressPacket::state() const
{
    const int word = stateWord();
    return word == Running || word == Finished ? word : int(Other);
}

bool RunConfigProgressPacket::autoSetupAvailable() const
{
    return state() != Running && completeness() / double(kFullScale) >= kMinCompleteness;
}
