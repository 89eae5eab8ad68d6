#include "device/configrules.h"

#include "device/configpacket.h"

#include <QCoreApplication>

#include <iterator>

namespace {

using F = ConfigFields;
using S = ConfigRules::Settings;

// Each rule in the one sentence the setup tab shows on the fields it marks.
const char *const kSentences[] = {
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

static_assert(std::size(kSentences) == ConfigRules::kRuleCount, "one sentence per rule");

bool startOnInput1(const S &s)
{
    return s.input1 == F::Input1TwoWireStart || s.input1 == F::Input1ThreeWireStart || s.input1 == F::Input1Forward;
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
    {1, [](const S &s) { return s.input1 == F::Input1TwoWireStart && s.input2 == F::Input2TwoWireStart; },
     F::Input2Function, F::Input1Function},
    {1, [](const S &s) { return s.input1 == F::Input1TwoWireStart && s.remoteControl; }, F::RemoteControl, F::Input1Function},
    {2, [](const S &s) { return s.input2 == F::Input2TwoWireStart && startOnInput1(s); }, F::Input1Function, F::Input2Function},
    {2, [](const S &s) { return s.input2 == F::Input2TwoWireStart && s.remoteControl; }, F::RemoteControl, F::Input2Function},
    // A stop or backward input needs its partner on input 1.
    {3, [](const S &s) { return s.input2 == F::Input2ThreeWireStop && s.input1 != F::Input1ThreeWireStart; },
     F::Input1Function, F::Input2Function},
    {3, [](const S &s) { return s.input2 == F::Input2ThreeWireStop && s.remoteControl; }, F::RemoteControl, F::Input2Function},
    {4, [](const S &s) { return s.input2 == F::Input2Backward && s.input1 != F::Input1Forward; },
     F::Input1Function, F::Input2Function},
    {4, [](const S &s) { return s.input2 == F::Input2Backward && s.remoteControl; }, F::RemoteControl, F::Input2Function},
    {5, [](const S &s) { return (s.input2 == F::Input2Humidity) != s.humidityProtection; },
     F::Input2Function, F::HumidityProtection},
    {6, [](const S &s) { return s.remoteControl && s.cyclicMode; }, F::RemoteControl, F::CyclicMode},
    {7, [](const S &s) { return (s.powerOutput == F::PowerStar) != (s.auxOutput == F::AuxDelta); },
     F::PowerOutputFunction, F::AuxOutputFunction},
    {8, [](const S &s) { return (s.powerOutput == F::PowerForward) != (s.auxOutput == F::AuxBackward); },
     F::PowerOutputFunction, F::AuxOutputFunction},
    {9, [](const S &s) { return s.fastProtection != (s.auxOutput == F::AuxTripCoil); },
     F::FastProtection, F::AuxOutputFunction},
};

} // namespace

ConfigRules::Settings ConfigRules::Settings::of(const ConfigPacket &block)
{
    return from([&block](F::Id id) { return F::value(block, id); });
}

ConfigRules::Settings ConfigRules::Settings::from(const std::function<int(ConfigFields::Id)> &wordOf)
{
    Settings s;
    s.input1 = wordOf(F::Input1Function);
    s.input2 = wordOf(F::Input2Function);
    s.powerOutput = wordOf(F::PowerOutputFunction);
    s.auxOutput = wordOf(F::AuxOutputFunction);
    s.remoteControl = wordOf(F::RemoteControl) != 0;
    s.cyclicMode = wordOf(F::CyclicMode) != 0;
    s.humidityProtection = wordOf(F::HumidityProtection) != 0;
    s.fastProtection = wordOf(F::FastProtection) != 0;
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
