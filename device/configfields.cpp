#include "device/configfields.h"

#include "device/configpacket.h"
#include "device/deviceinfo.h"
#include "device/packetfactory.h"
#include "device/packetregisters.h"
#include "device/registermap.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

using F = ConfigFields;
using K = ConfigFields::Kind;

// A choice list: entry i is the text of word i (source texts of their translations).
struct Choices {
    const char *const *texts = nullptr;
    int count = 0;
};

template <std::size_t N>
constexpr Choices listOf(const char *const (&texts)[N])
{
    return {texts, int(N)};
}

// The register-table row of each field; ranges are the editors' (setup tab), in words;
// a choice's range is its list.
struct Row {
    F::Id id;
    const char *name;
    quint32 reg;
    int version;
    F::Range range;
    const char *label; // the source text of its translation
    K kind;
    const char *unit; // likewise; "" for none
    Choices choices;
};

constexpr int kMsPerTen = 10; // the editors of reaction and trip times hold tens of ms
constexpr int kTenths = 10;   // the correction is stored in signed tenths
constexpr F::Range kFlag {0, 1, 1};
constexpr F::Range kListed {}; // taken from the choice list
constexpr const char kNoUnit[] = "";
// The units as the editors show them after their number.
constexpr const char kAmps[] = QT_TRANSLATE_NOOP("ConfigFields", "А");
constexpr const char kPercent[] = "%";
constexpr const char kSeconds[] = QT_TRANSLATE_NOOP("ConfigFields", " сек");
constexpr const char kMs[] = QT_TRANSLATE_NOOP("ConfigFields", " мсек");
constexpr const char kMinutes[] = QT_TRANSLATE_NOOP("ConfigFields", " мин");
constexpr const char kCelsius[] = QT_TRANSLATE_NOOP("ConfigFields", " °C");

constexpr const char *kVoltageTolerance[] = {
    QT_TRANSLATE_NOOP("ConfigFields", "Минус 15 + 10%"), QT_TRANSLATE_NOOP("ConfigFields", "Минус 20 + 15%"),
    QT_TRANSLATE_NOOP("ConfigFields", "Минус 25 + 20%"), QT_TRANSLATE_NOOP("ConfigFields", "Минус 30 + 25%")};
constexpr const char *kInput1[] = {
    QT_TRANSLATE_NOOP("ConfigFields", "Нет"), QT_TRANSLATE_NOOP("ConfigFields", "Внешняя авария 1"),
    QT_TRANSLATE_NOOP("ConfigFields", "Пуск(Двухпроводное управление)"),
    QT_TRANSLATE_NOOP("ConfigFields", "Пуск(Трёхпроводное управление)"),
    QT_TRANSLATE_NOOP("ConfigFields", "Вращение вперёд")};
constexpr const char *kInput2[] = {
    QT_TRANSLATE_NOOP("ConfigFields", "Нет"), QT_TRANSLATE_NOOP("ConfigFields", "Внешняя авария 2"),
    QT_TRANSLATE_NOOP("ConfigFields", "Пуск(Двухпроводное управление)"),
    QT_TRANSLATE_NOOP("ConfigFields", "Стоп(Трёхпроводное управление)"),
    QT_TRANSLATE_NOOP("ConfigFields", "Вращение назад"), QT_TRANSLATE_NOOP("ConfigFields", "Датчик влажности")};
constexpr const char *kPowerOutput[] = {
    QT_TRANSLATE_NOOP("ConfigFields", "Стандартный"), QT_TRANSLATE_NOOP("ConfigFields", "Звезда"),
    QT_TRANSLATE_NOOP("ConfigFields", "Вращение вперёд")};
constexpr const char *kAuxOutput[] = {
    QT_TRANSLATE_NOOP("ConfigFields", "Нет"), QT_TRANSLATE_NOOP("ConfigFields", "Сигнализация аварии"),
    QT_TRANSLATE_NOOP("ConfigFields", "Предупреждение о пуске"),
    QT_TRANSLATE_NOOP("ConfigFields", "Предаварийная сигнализация"),
    QT_TRANSLATE_NOOP("ConfigFields", "Дистанционно упр. выход"), QT_TRANSLATE_NOOP("ConfigFields", "Треугольник"),
    QT_TRANSLATE_NOOP("ConfigFields", "Вращение назад"), QT_TRANSLATE_NOOP("ConfigFields", "Управление расцепителем")};
constexpr const char *kInsulation[] = {
    QT_TRANSLATE_NOOP("ConfigFields", "0,55МОм"), QT_TRANSLATE_NOOP("ConfigFields", "1,1МОм")};

// The named entries of the header are these lists' entries.
static_assert(std::size(kInput1) == F::Input1ChoiceCount, "input 1 entries");
static_assert(std::size(kInput2) == F::Input2ChoiceCount, "input 2 entries");
static_assert(std::size(kPowerOutput) == F::PowerOutputChoiceCount, "power output entries");
static_assert(std::size(kAuxOutput) == F::AuxOutputChoiceCount, "aux output entries");

constexpr Choices kNone {};

constexpr Row kRows[] = {
    {F::RatedCurrent, "ratedCurrent", 5, 0, {}, QT_TRANSLATE_NOOP("ConfigFields", "Номинальный ток двигателя"),
     K::Amps, kAmps, kNone},
    {F::MinCurrent, "minCurrent", 6, 0, {1, 60, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Минимально допустимый ток двигателя"), K::Number, kPercent, kNone},
    {F::OverloadMultiple, "overloadMultiple", 7, 0, {2, 10, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог срабатывания защиты от перегрузки, кратность тока"), K::Number, kNoUnit,
     kNone},
    {F::ImbalanceThreshold, "imbalanceThreshold", 8, 0, {1, 70, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог отключения по перекосу токов фаз"), K::Number, kPercent, kNone},
    {F::DoubleOverloadTime, "doubleOverloadTime", 9, 0, {10, 200, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Время отключения при двухкратной перегрузке"), K::Number, kSeconds, kNone},
    {F::SwitchOnDelay, "switchOnDelay", 10, 0, {1, 255, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Задержка включения"),
     K::Number, kSeconds, kNone},
    {F::AutoRestart, "autoRestart", 11, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Автоматическое повторное включение"), K::Flag, kNoUnit, kNone},
    {F::PhaseSequenceCheck, "phaseSequenceCheck", 12, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Проверка последовательности фаз питающей сети"), K::Flag, kNoUnit, kNone},
    {F::FastProtection, "fastProtection", 13, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение быстродействующей защиты"), K::Flag, kNoUnit, kNone},
    {F::OverloadReactionTime, "overloadReactionTime", 14, 0, {10, 9990, kMsPerTen},
     QT_TRANSLATE_NOOP("ConfigFields", "Время реакции защиты от перегрузки"), K::Tens, kMs, kNone},
    {F::BrokenPhasesAllowed, "brokenPhasesAllowed", 15, 0, {0, 3, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Допустимое количество оборваных фаз"), K::Number, kNoUnit, kNone},
    {F::PtcProtection, "ptcProtection", 16, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защит по термодатчику РТС"), K::Flag, kNoUnit, kNone},
    {F::HumidityProtection, "humidityProtection", 17, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защит по датчику влажности"), K::Flag, kNoUnit, kNone},
    {F::Pt100Protection, "pt100Protection", 18, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защиты по термодатчику РТ100"), K::Flag, kNoUnit, kNone},
    {F::Pt100Threshold, "pt100Threshold", 19, 0, {10, 255, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог срабатывания защиты по термодатчику РТ100"), K::Number, kCelsius, kNone},
    {F::VoltageTolerance, "voltageTolerance", 20, 0, kListed,
     QT_TRANSLATE_NOOP("ConfigFields", "Допуск на напряжение питающих фаз"), K::Choice, kNoUnit,
     listOf(kVoltageTolerance)},
    {F::CyclicMode, "cyclicMode", 21, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение циклической работы по таймеру"), K::Flag, kNoUnit, kNone},
    {F::CyclicWorkTime, "cyclicWorkTime", 22, 0, {1, 5940, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Продолжительность работы в циклическом режиме"), K::Number, kMinutes, kNone},
    {F::CyclicPauseTime, "cyclicPauseTime", 23, 0, {1, 5940, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Продолжительность простоя в циклическом режиме"), K::Number, kMinutes, kNone},
    {F::Input1Function, "input1Function", 24, 0, kListed, QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции входа 1"),
     K::Choice, kNoUnit, listOf(kInput1)},
    {F::Input2Function, "input2Function", 25, 0, kListed, QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции входа 2"),
     K::Choice, kNoUnit, listOf(kInput2)},
    {F::PowerOutputFunction, "powerOutputFunction", 26, 0, kListed,
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции силового выхода"), K::Choice, kNoUnit, listOf(kPowerOutput)},
    {F::AuxOutputFunction, "auxOutputFunction", 27, 0, kListed,
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции дополнительного выхода"), K::Choice, kNoUnit,
     listOf(kAuxOutput)},
    {F::SwitchDelay, "switchDelay", 28, 0, {1, 30, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Задержка переключения"),
     K::Number, kSeconds, kNone},
    {F::RemoteControl, "remoteControl", 29, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение дистанционного управления"), K::Flag, kNoUnit, kNone},
    {F::ImbalanceTripTime, "imbalanceTripTime", RegisterMap::ConfigurationV50, PacketFactory::kModificationV50,
     {10, 2550, kMsPerTen}, QT_TRANSLATE_NOOP("ConfigFields", "Время срабатывания защиты от перекоса токов"), K::Tens,
     kMs, kNone},
    {F::MinCurrentCorrection, "minCurrentCorrection", RegisterMap::ConfigurationV70, PacketFactory::kModificationV70,
     {-20, 20, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Коэффициент коррекции минимально допустимого тока"), K::Tenths,
     kNoUnit, kNone},
    {F::InsulationThreshold, "insulationThreshold", RegisterMap::ConfigurationV70 + 1, PacketFactory::kModificationV70,
     kListed, QT_TRANSLATE_NOOP("ConfigFields", "Выбор порога срабатывания защиты по сопротивлению изоляции"),
     K::Choice, kNoUnit, listOf(kInsulation)},
};

// kRows[id] is the row of id: every field once, in the order of the enumeration.
constexpr bool rowsInOrder()
{
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (kRows[i].id != F::Id(i))
            return false;
    return true;
}
static_assert(std::size(kRows) == F::Count && rowsInOrder(), "one row per field, in the order of ConfigFields::Id");

// A rounded editor number kept within low..high; not a number reads as 0.
int bounded(double value, double low, double high)
{
    const double rounded = std::isnan(value) ? 0.0 : std::round(value);
    return int(rounded < low ? low : rounded > high ? high : rounded);
}

constexpr double kWordTop = std::numeric_limits<quint16>::max();

} // namespace

QString ConfigFields::name(Id id)
{
    return QLatin1String(kRows[id].name);
}

int ConfigFields::find(const QString &name)
{
    for (const Row &row : kRows)
        if (name == QLatin1String(row.name))
            return row.id;
    return -1;
}

quint32 ConfigFields::registerOf(Id id)
{
    return kRows[id].reg;
}

int ConfigFields::firstVersion(Id id)
{
    return kRows[id].version;
}

QVector<ConfigFields::Id> ConfigFields::fieldsOf(int version)
{
    QVector<Id> ids;
    for (const Row &row : kRows)
        if (present(row.id, version))
            ids << row.id;
    return ids;
}

QString ConfigFields::label(Id id)
{
    return QCoreApplication::translate("ConfigFields", kRows[id].label);
}

ConfigFields::Kind ConfigFields::kind(Id id)
{
    return kRows[id].kind;
}

QString ConfigFields::unit(Id id)
{
    return QCoreApplication::translate("ConfigFields", kRows[id].unit);
}

QStringList ConfigFields::choices(Id id)
{
    const Choices &list = kRows[id].choices;
    QStringList texts;
    for (int i = 0; i < list.count; ++i)
        texts << QCoreApplication::translate("ConfigFields", list.texts[i]);
    return texts;
}

QString ConfigFields::choice(Id id, int word)
{
    const Choices &list = kRows[id].choices;
    if (word < 0 || word >= list.count)
        return QString();
    return QCoreApplication::translate("ConfigFields", list.texts[word]);
}

QString ConfigFields::shown(Id id, int word, int currentScale, const QLocale &locale)
{
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator); // as the spin boxes write numbers
    switch (kind(id)) {
    case Kind::Flag:
        return word != 0 ? QCoreApplication::translate("ConfigFields", "включено")
                         : QCoreApplication::translate("ConfigFields", "выключено");
    case Kind::Choice: {
        const QString text = choice(id, word);
        return text.isEmpty() ? l.toString(word) : text;
    }
    case Kind::Amps:
        return l.toString(toEditor(id, word, currentScale), 'f', ampsDecimals(currentScale)) + unit(id);
    case Kind::Tenths: return l.toString(toEditor(id, word, currentScale), 'f', 1);
    case Kind::Tens:
    case Kind::Number: break;
    }
    return l.toString(word) + unit(id);
}

ConfigFields::Range ConfigFields::range(Id id, const DeviceInfo &device)
{
    const Row &row = kRows[id];
    if (row.kind == Kind::Choice)
        return {0, row.choices.count - 1, 1};
    if (id != RatedCurrent)
        return row.range;
    // The editor holds amperes between the device's limits; its words are their counts.
    return {ampsToCounts(device.minRatedCurrent, device.currentScale),
            ampsToCounts(device.maxRatedCurrent, device.currentScale), 1};
}

double ConfigFields::toEditor(Id id, int word, int currentScale)
{
    switch (kind(id)) {
    case Kind::Flag: return word != 0 ? 1.0 : 0.0;
    case Kind::Amps: return currentScale == 0 ? 0.0 : double(word) / double(currentScale);
    case Kind::Tenths: return qint16(word) / double(kTenths);
    case Kind::Tens: return word / kMsPerTen; // what is below ten ms is not shown
    case Kind::Number:
    case Kind::Choice: break;
    }
    return word;
}

int ConfigFields::fromEditor(Id id, double edited, int currentScale)
{
    switch (kind(id)) {
    case Kind::Flag: return edited != 0.0 ? 1 : 0;
    case Kind::Amps: return ampsToCounts(edited, currentScale);
    case Kind::Tenths:
        return bounded(edited * kTenths, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
    case Kind::Tens: return bounded(edited * kMsPerTen, 0, kWordTop);
    case Kind::Number:
    case Kind::Choice: break;
    }
    return bounded(edited, 0, kWordTop);
}

quint16 ConfigFields::ampsToCounts(double amps, int currentScale)
{
    // Clamping keeps an out-of-range editor value from an undefined conversion.
    const double counts = double(float(amps * currentScale)) + 0.5;
    if (!(counts > 0.0))
        return 0;
    return counts >= kWordTop ? quint16(kWordTop) : quint16(std::trunc(counts));
}

int ConfigFields::value(const ConfigPacket &block, Id id)
{
    quint16 word = 0;
    PacketRegisters::read(block, registerOf(id), word);
    return kind(id) == Kind::Tenths ? int(qint16(word)) : int(word);
}

bool ConfigFields::setValue(ConfigPacket &block, Id id, int word)
{
    return PacketRegisters::write(block, registerOf(id), quint16(word));
}

QVector<ConfigFields::Id> ConfigFields::differences(const ConfigPacket &a, const ConfigPacket &b)
{
    QVector<Id> ids;
    for (Id id : fieldsOf(std::min(a.version(), b.version())))
        if (value(a, id) != value(b, id))
            ids << id;
    return ids;
}
