#pragma once

#include "datapacket.h"

// The protection settings: registers 5..29. Read and written as a whole; the
// setup editors go through the field accessors and the conversions below.
class ConfigPacket : public DataPacket
{
public:
    // Word index = register - 5.
    enum Word {
        RatedCurrent, MinCurrent, OverloadMultiple, ImbalanceThreshold, DoubleOverloadTime,
        SwitchOnDelay, AutoRestart, PhaseSequenceCheck, FastProtection, OverloadReactionTime,
        BrokenPhasesAllowed, PtcProtection, HumidityProtection, Pt100Protection, Pt100Threshold,
        VoltageTolerance, CyclicMode, CyclicWorkTime, CyclicPauseTime, Input1Function,
        Input2Function, PowerOutputFunction, AuxOutputFunction, SwitchDelay, RemoteControl,
        WordCount
    };

    ConfigPacket();
    ConfigPacket(const ConfigPacket &other);
    ConfigPacket *clone() const override;
    // 0 here; 50 and 70 for the larger blocks.
    virtual int version() const;

    quint16 word(Word w) const { return words[w]; }
    void setWord(Word w, quint16 value) { words[w] = value; }

    // Rated current: stored in device counts (amperes x current scale).
    quint16 ratedCurrent() const { return words[RatedCurrent]; }
    void setRatedCurrent(quint16 v) { words[RatedCurrent] = v; }
    // Amperes; 0 for a current scale of 0, the raw word stays in ratedCurrent().
    double ratedCurrentAmps(int currentScale) const;
    void setRatedCurrentAmps(double amps, int currentScale);
    static quint16 ampsToCounts(double amps, int currentScale);

    quint16 minCurrent() const { return words[MinCurrent]; }
    void setMinCurrent(quint16 v) { words[MinCurrent] = v; }
    quint16 overloadMultiple() const { return words[OverloadMultiple]; }
    void setOverloadMultiple(quint16 v) { words[OverloadMultiple] = v; }
    quint16 imbalanceThreshold() const { return words[ImbalanceThreshold]; }
    void setImbalanceThreshold(quint16 v) { words[ImbalanceThreshold] = v; }
    quint16 doubleOverloadTime() const { return words[DoubleOverloadTime]; }
    void setDoubleOverloadTime(quint16 v) { words[DoubleOverloadTime] = v; }
    quint16 switchOnDelay() const { return words[SwitchOnDelay]; }
    void setSwitchOnDelay(quint16 v) { words[SwitchOnDelay] = v; }
    bool autoRestart() const { return flag(AutoRestart); }
    void setAutoRestart(bool on) { setFlag(AutoRestart, on); }
    bool phaseSequenceCheck() const { return flag(PhaseSequenceCheck); }
    void setPhaseSequenceCheck(bool on) { setFlag(PhaseSequenceCheck, on); }
    bool fastProtection() const { return flag(FastProtection); }
    void setFastProtection(bool on) { setFlag(FastProtection, on); }

    // Milliseconds; the editor holds tens of milliseconds.
    quint16 overloadReactionTime() const { return words[OverloadReactionTime]; }
    void setOverloadReactionTime(quint16 ms) { words[OverloadReactionTime] = ms; }
    int overloadReactionTimeTens() const { return msToTens(overloadReactionTime()); }
    void setOverloadReactionTimeTens(int tens) { setOverloadReactionTime(tensToMs(tens)); }

    quint16 brokenPhasesAllowed() const { return words[BrokenPhasesAllowed]; }
    void setBrokenPhasesAllowed(quint16 v) { words[BrokenPhasesAllowed] = v; }
    bool ptcProtection() const { return flag(PtcProtection); }
    void setPtcProtection(bool on) { setFlag(PtcProtection, on); }
    bool humidityProtection() const { return flag(HumidityProtection); }
    void setHumidityProtection(bool on) { setFlag(HumidityProtection, on); }
    bool pt100Protection() const { return flag(Pt100Protection); }
    void setPt100Protection(bool on) { setFlag(Pt100Protection, on); }
    quint16 pt100Threshold() const { return words[Pt100Threshold]; }
    void setPt100Threshold(quint16 v) { words[Pt100Threshold] = v; }
    quint16 voltageTolerance() const { return words[VoltageTolerance]; }
    void setVoltageTolerance(quint16 index) { words[VoltageTolerance] = index; }
    bool cyclicMode() const { return flag(CyclicMode); }
    void setCyclicMode(bool on) { setFlag(CyclicMode, on); }
    quint16 cyclicWorkTime() const { return words[CyclicWorkTime]; }
    void setCyclicWorkTime(quint16 minutes) { words[CyclicWorkTime] = minutes; }
    quint16 cyclicPauseTime() const { return words[CyclicPauseTime]; }
    void setCyclicPauseTime(quint16 minutes) { words[CyclicPauseTime] = minutes; }
    quint16 input1Function() const { return words[Input1Function]; }
    void setInput1Function(quint16 index) { words[Input1Function] = index; }
    quint16 input2Function() const { return words[Input2Function]; }
    void setInput2Function(quint16 index) { words[Input2Function] = index; }
    quint16 powerOutputFunction() const { return words[PowerOutputFunction]; }
    void setPowerOutputFunction(quint16 index) { words[PowerOutputFunction] = index; }
    quint16 auxOutputFunction() const { return words[AuxOutputFunction]; }
    void setAuxOutputFunction(quint16 index) { words[AuxOutputFunction] = index; }
    quint16 switchDelay() const { return words[SwitchDelay]; }
    void setSwitchDelay(quint16 seconds) { words[SwitchDelay] = seconds; }
    bool remoteControl() const { return flag(RemoteControl); }
    void setRemoteControl(bool on) { setFlag(RemoteControl, on); }

protected:
    // Reaction and trip times: word in ms, editor in tens of ms (integer division).
    static int msToTens(quint16 ms) { return ms / 10; }
    static quint16 tensToMs(int tens);

private:
    // Any non-zero word counts as set; a set flag is written as 1.
    bool flag(Word w) const { return words[w] != 0; }
    void setFlag(Word w, bool on) { words[w] = on ? 1 : 0; }

    quint16 words[WordCount] = {};
};
