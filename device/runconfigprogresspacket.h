#pragma once

#include "link/datapacket.h"

// Auto-setup progress: registers 199..204, read every cycle.
class RunConfigProgressPacket : public DataPacket
{
public:
    // Auto-setup states as the exchange tracks them.
    enum State { Other = 0, Running = 1, Finished = 2 };
    static constexpr quint16 kFullScale = 65535; // 100 % in the accumulation and completeness words

    RunConfigProgressPacket();
    RunConfigProgressPacket(const RunConfigProgressPacket &other);
    RunConfigProgressPacket *clone() const override;

    quint16 stateWord() const { return words[0]; }
    // 1 and 2 map to themselves, anything else to 0.
    int state() const;
    quint16 accumulation() const { return words[1]; }
    quint16 completeness() const { return words[5]; }
    // Auto-setup can be started once a tenth of the data is recorded and none runs.
    bool autoSetupAvailable() const;

private:
    quint16 words[6] = {};
};
