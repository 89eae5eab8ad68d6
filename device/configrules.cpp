#include "configrules.h"

#include "configpacket.h"

namespace {

using F = ConfigFields;

// Choice entries the rules name (register values, choice lists of the block).
constexpr int kTwoWireStart = 2;    // inputs 1 and 2: "Пуск(Двухпроводное управление)"
constexpr int kThreeWire = 3;       // input 1 "Пуск(Трёхпроводное…)", input 2 "Стоп(Трёхпроводное…)"
constexpr int kRotation = 4;        // input 1 "Вращение вперёд", input 2 "Вращение назад"
constexpr int kInput2Humidity = 5;  // "Датчик влажности"
constexpr int kPowerStar = 1;       // "Звезда"
constexpr int kPowerForward = 2;    // "Вращение вперёд"
constexpr int kAuxDelta = 5;        // "Треугольник"
constexpr int kAuxBackward = 6;     // "Вращение назад"
constexpr int kAuxTripCoil = 7;     // "Управление расцепителем"

class Checker
{
public:
    explicit Checker(const ConfigRules::Settings &s) : s(s) {}

    QVector<ConfigRules::Violation> run()
    {
        inputRules();
        both(5, (s.input2 == kInput2Humidity) != s.humidityProtection, F::Input2Function, F::HumidityProtection);
        both(6, s.remoteControl && s.cyclicMode, F::RemoteControl, F::CyclicMode);
        both(7, (s.powerOutput == kPowerStar) != (s.auxOutput == kAuxDelta), F::PowerOutputFunction,
             F::AuxOutputFunction);
        both(8, (s.powerOutput == kPowerForward) != (s.auxOutput == kAuxBackward), F::PowerOutputFunction,
             F::AuxOutputFunction);
        both(9, s.fastProtection != (s.auxOutput == kAuxTripCoil), F::FastProtection, F::AuxOutputFunction);
        return found;
    }

private:
    void inputRules()
    {
        if (s.input1 == kTwoWireStart) {
            both(1, s.input2 == kTwoWireStart, F::Input2Function, F::Input1Function);
            both(1, s.remoteControl, F::RemoteControl, F::Input1Function);
        }
        if (s.input2 == kTwoWireStart) {
            const bool startOn1 = s.input1 == kTwoWireStart || s.input1 == kThreeWire || s.input1 == kRotation;
            both(2, startOn1, F::Input1Function, F::Input2Function);
            both(2, s.remoteControl, F::RemoteControl, F::Input2Function);
        }
        // A stop or backward input needs its partner on input 1.
        pairedInput(3, kThreeWire);
        pairedInput(4, kRotation);
    }

    void pairedInput(int rule, int entry)
    {
        if (s.input2 != entry)
            return;
        both(rule, s.input1 != entry, F::Input1Function, F::Input2Function);
        both(rule, s.remoteControl, F::RemoteControl, F::Input2Function);
    }

    void both(int rule, bool violated, F::Id first, F::Id second)
    {
        if (violated)
            found.append({rule, {first, second}});
    }

    const ConfigRules::Settings &s;
    QVector<ConfigRules::Violation> found;
};

} // namespace

ConfigRules::Settings ConfigRules::Settings::of(const ConfigPacket &block)
{
    Settings s;
    s.input1 = block.input1Function();
    s.input2 = block.input2Function();
    s.powerOutput = block.powerOutputFunction();
    s.auxOutput = block.auxOutputFunction();
    s.remoteControl = block.remoteControl();
    s.cyclicMode = block.cyclicMode();
    s.humidityProtection = block.humidityProtection();
    s.fastProtection = block.fastProtection();
    return s;
}

QVector<ConfigFields::Id> ConfigRules::checkedFields()
{
    return {F::Input1Function, F::Input2Function, F::RemoteControl, F::CyclicMode,
            F::PowerOutputFunction, F::AuxOutputFunction, F::HumidityProtection, F::FastProtection};
}

QVector<ConfigRules::Violation> ConfigRules::check(const Settings &s)
{
    return Checker(s).run();
}
