#pragma once

#include "device/configfields.h"
#include "link/datapacket.h"

// The protection settings: registers 5..29. Read and written as a whole; what each
// word means, and how an editor or a file changes it, is in ConfigFields.
class ConfigPacket : public DataPacket
{
public:
    ConfigPacket();
    ConfigPacket(const ConfigPacket &other);
    ConfigPacket *clone() const override;
    // 0 here; 50 and 70 for the larger blocks.
    virtual int version() const;

    // Rated current in device counts (amperes × current scale).
    quint16 ratedCurrent() const { return word(ConfigFields::RatedCurrent); }
    quint16 minCurrent() const { return word(ConfigFields::MinCurrent); }
    quint16 overloadMultiple() const { return word(ConfigFields::OverloadMultiple); }
    quint16 imbalanceThreshold() const { return word(ConfigFields::ImbalanceThreshold); }
    quint16 doubleOverloadTime() const { return word(ConfigFields::DoubleOverloadTime); }
    quint16 switchOnDelay() const { return word(ConfigFields::SwitchOnDelay); }
    bool autoRestart() const { return flag(ConfigFields::AutoRestart); }
    bool phaseSequenceCheck() const { return flag(ConfigFields::PhaseSequenceCheck); }
    bool fastProtection() const { return flag(ConfigFields::FastProtection); }
    // Milliseconds.
    quint16 overloadReactionTime() const { return word(ConfigFields::OverloadReactionTime); }
    quint16 brokenPhasesAllowed() const { return word(ConfigFields::BrokenPhasesAllowed); }
    bool ptcProtection() const { return flag(ConfigFields::PtcProtection); }
    bool humidityProtection() const { return flag(ConfigFields::HumidityProtection); }
    bool pt100Protection() const { return flag(ConfigFields::Pt100Protection); }
    quint16 pt100Threshold() const { return word(ConfigFields::Pt100Threshold); }
    quint16 voltageTolerance() const { return word(ConfigFields::VoltageTolerance); }
    bool cyclicMode() const { return flag(ConfigFields::CyclicMode); }
    quint16 cyclicWorkTime() const { return word(ConfigFields::CyclicWorkTime); }
    quint16 cyclicPauseTime() const { return word(ConfigFields::CyclicPauseTime); }
    quint16 input1Function() const { return word(ConfigFields::Input1Function); }
    quint16 input2Function() const { return word(ConfigFields::Input2Function); }
    quint16 powerOutputFunction() const { return word(ConfigFields::PowerOutputFunction); }
    quint16 auxOutputFunction() const { return word(ConfigFields::AuxOutputFunction); }
    quint16 switchDelay() const { return word(ConfigFields::SwitchDelay); }
    bool remoteControl() const { return flag(ConfigFields::RemoteControl); }

protected:
    quint16 word(ConfigFields::Id id) const { return quint16(ConfigFields::value(*this, id)); }
    // Any non-zero word counts as set.
    bool flag(ConfigFields::Id id) const { return word(id) != 0; }

private:
    static constexpr int kWordCount = 25; // registers 5..29
    quint16 words[kWordCount] = {};
};
