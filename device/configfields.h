#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

class ConfigPacket;
struct DeviceInfo;

// The one description of the configuration block: per field its register, the
// smallest block class that has it, the conversion between word and editor, the range
// of words its editor can hold, its choice list and the editor's label. The blocks,
// the setup tab, the rules, the settings files, the watch tab and `orbix config` read it.
class ConfigFields
{
public:
    // In register order.
    enum Id {
        RatedCurrent, MinCurrent, OverloadMultiple, ImbalanceThreshold, DoubleOverloadTime,
        SwitchOnDelay, AutoRestart, PhaseSequenceCheck, FastProtection, OverloadReactionTime,
        BrokenPhasesAllowed, PtcProtection, HumidityProtection, Pt100Protection, Pt100Threshold,
        VoltageTolerance, CyclicMode, CyclicWorkTime, CyclicPauseTime, Input1Function,
        Input2Function, PowerOutputFunction, AuxOutputFunction, SwitchDelay, RemoteControl,
        ImbalanceTripTime, MinCurrentCorrection, InsulationThreshold,
        Count
    };

    // How a word reads: a number, tens of ms in the editor, a flag, an entry of a
    // choice list, amperes × current scale, signed tenths.
    enum class Kind { Number, Tens, Flag, Choice, Amps, Tenths };

    // The entries of the choice lists that the rules and the watch tab act on: the word
    // the device holds for them. The lists' lengths are checked against the table.
    enum Input1Choice { Input1None, Input1ExternalAlarm, Input1TwoWireStart, Input1ThreeWireStart, Input1Forward,
                        Input1ChoiceCount };
    enum Input2Choice { Input2None, Input2ExternalAlarm, Input2TwoWireStart, Input2ThreeWireStop, Input2Backward,
                        Input2Humidity, Input2ChoiceCount };
    enum PowerOutputChoice { PowerStandard, PowerStar, PowerForward, PowerOutputChoiceCount };
    enum AuxOutputChoice { AuxNone, AuxAlarm, AuxStartWarning, AuxPreAlarm, AuxRemote, AuxDelta, AuxBackward,
                           AuxTripCoil, AuxOutputChoiceCount };

    // Words an editor can hold: low..high in steps of step from 0.
    struct Range {
        int low = 0;
        int high = 0;
        int step = 1;
        bool contains(int word) const { return word >= low && word <= high && word % step == 0; }
    };

    static QString name(Id id);
    // -1 for a name no field has.
    static int find(const QString &name);
    static quint32 registerOf(Id id);
    // The block version (0, 50, 70) from which the field exists.
    static int firstVersion(Id id);
    static bool present(Id id, int version) { return version >= firstVersion(id); }
    // The fields of a block of that version, in register order.
    static QVector<Id> fieldsOf(int version);
    // The editor's label, as the setup tab shows it (Russian without a translator).
    static QString label(Id id);
    static Kind kind(Id id);
    // What follows the number in the setup tab ("" for none); the tens-of-ms editors
    // put a "0" before it.
    static QString unit(Id id);
    // The entries of a choice list in the interface's language, entry i for word i;
    // empty for a field that is no choice.
    static QStringList choices(Id id);
    // The entry of one word; empty when the list has none for it.
    static QString choice(Id id, int word);
    static int ampsDecimals(int currentScale) { return currentScale > 1 ? 1 : 0; }
    // The word as the setup tab shows it: number and unit, the choice's text (the
    // number itself for a word no entry has), on or off for a flag.
    static QString shown(Id id, int word, int currentScale, const QLocale &locale = QLocale::c());
    // The rated current's range follows the device's limits and current scale; a choice
    // holds the words its list has.
    static Range range(Id id, const DeviceInfo &device);

    // The conversions of the kinds: the number an editor holds for a word (amperes, tens
    // of ms, tenths as a decimal, 0 or 1 for a flag, else the word), and back the word a
    // write sends for it, rounded as the device rounds and kept within the word.
    static double toEditor(Id id, int word, int currentScale);
    static int fromEditor(Id id, double edited, int currentScale);
    // The device rounds amperes × scale in single precision; beyond the word it clamps.
    static quint16 ampsToCounts(double amps, int currentScale);

    // The word as the device holds it; signed for the correction.
    static int value(const ConfigPacket &block, Id id);
    // False when the block has no such field.
    static bool setValue(ConfigPacket &block, Id id, int word);
    // The fields of the smaller of the two versions whose words differ.
    static QVector<Id> differences(const ConfigPacket &a, const ConfigPacket &b);
};
