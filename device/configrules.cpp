#include "configrules.h"

#include "configpacket.h"

#include <QCoreApplication>

namespace {

using F = ConfigFields;
using S = ConfigRules::Settings;

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

// Each rule in the one sentence the setup tab shows on the fields it marks.
const char *const kSentences[ConfigRules::kRuleCount] = {
    QT_TRANSLATE_NOOP("ConfigRules", "Вход 1 «Пуск(Двухпроводное управление)» не допускает такой же пуск на входе 2 "
                                     "и дистанционное управление."),
    QT_TRANSLATE_NOOP("ConfigRules", "Вход 2 «Пуск(Двухпроводное управление)» не допускает пуск или вращение "
                                     "на входе 1 и дистанционное управление."),
    QT_TRANSLATE_NOOP("ConfigRules", "Вход 2 «Стоп(Трёхпроводное управление)» требует вход 1 "
                                     "«Пуск(Трёхпроводное управление)» и не допускает дистанционное управление."),
    QT_TRANSLATE_NOOP("ConfigRules", "Вход 2 «Вращение назад» требует вход 1 «Вращение вперёд» и не допускает "
                                     "дистанционное управление."),
    QT_TRANSLATE_NOOP("ConfigRules", "Вход 2 «Датчик влажности» выбирается тогда и только тогда, когда разрешены "
                                     "защиты по датчику влажности."),
    QT_TRANSLATE_NOOP("ConfigRules", "Дистанционное управление и циклическая работа по таймеру не разрешаются "
                                     "вместе."),
    QT_TRANSLATE_NOOP("ConfigRules", "Силовой выход «Звезда» и дополнительный выход «Треугольник» выбираются только "
                                     "вместе."),
    QT_TRANSLATE_NOOP("ConfigRules", "Силовой выход «Вращение вперёд» и дополнительный выход «Вращение назад» "
                                     "выбираются только вместе."),
    QT_TRANSLATE_NOOP("ConfigRules", "Быстродействующая защита разрешается тогда и только тогда, когда "
                                     "дополнительный выход — «Управление расцепителем»."),
};

bool startOnInput1(const S &s)
{
    return s.input1 == kTwoWireStart || s.input1 == kThreeWire || s.input1 == kRotation;
}

// One condition of a rule: when it holds, the rule is broken and both fields are marked,
// first then second. A rule about an input has a second condition for remote control.
struct Condition {
    int rule;
    bool (*violated)(const S &);
    F::Id first;
    F::Id second;
};

const Condition kConditions[] = {
    {1, [](const S &s) { return s.input1 == kTwoWireStart && s.input2 == kTwoWireStart; },
     F::Input2Function, F::Input1Function},
    {1, [](const S &s) { return s.input1 == kTwoWireStart && s.remoteControl; }, F::RemoteControl, F::Input1Function},
    {2, [](const S &s) { return s.input2 == kTwoWireStart && startOnInput1(s); }, F::Input1Function, F::Input2Function},
    {2, [](const S &s) { return s.input2 == kTwoWireStart && s.remoteControl; }, F::RemoteControl, F::Input2Function},
    // A stop or backward input needs its partner on input 1.
    {3, [](const S &s) { return s.input2 == kThreeWire && s.input1 != kThreeWire; },
     F::Input1Function, F::Input2Function},
    {3, [](const S &s) { return s.input2 == kThreeWire && s.remoteControl; }, F::RemoteControl, F::Input2Function},
    {4, [](const S &s) { return s.input2 == kRotation && s.input1 != kRotation; },
     F::Input1Function, F::Input2Function},
    {4, [](const S &s) { return s.input2 == kRotation && s.remoteControl; }, F::RemoteControl, F::Input2Function},
    {5, [](const S &s) { return (s.input2 == kInput2Humidity) != s.humidityProtection; },
     F::Input2Function, F::HumidityProtection},
    {6, [](const S &s) { return s.remoteControl && s.cyclicMode; }, F::RemoteControl, F::CyclicMode},
    {7, [](const S &s) { return (s.powerOutput == kPowerStar) != (s.auxOutput == kAuxDelta); },
     F::PowerOutputFunction, F::AuxOutputFunction},
    {8, [](const S &s) { return (s.powerOutput == kPowerForward) != (s.auxOutput == kAuxBackward); },
     F::PowerOutputFunction, F::AuxOutputFunction},
    {9, [](const S &s) { return s.fastProtection != (s.auxOutput == kAuxTripCoil); },
     F::FastProtection, F::AuxOutputFunction},
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
    QVector<Violation> found;
    for (const Condition &c : kConditions)
        if (c.violated(s))
            found.append({c.rule, {c.first, c.second}});
    return found;
}

QString ConfigRules::sentence(int rule)
{
    if (rule < 1 || rule > kRuleCount)
        return QString();
    return QCoreApplication::translate("ConfigRules", kSentences[rule - 1]);
}

QStringList ConfigRules::sentences(const QVector<Violation> &violations, int field)
{
    QStringList out;
    for (const Violation &v : violations)
        if (field < 0 || v.marked.contains(ConfigFields::Id(field))) {
            const QString text = sentence(v.rule);
            if (!out.contains(text))
                out << text;
        }
    return out;
}
