#include "configfields.h"

#include "configchoices.h"
#include "configpacket.h"
#include "deviceinfo.h"
#include "packetfactory.h"
#include "packetregisters.h"
#include "registermap.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// The register-table row of each field; ranges are the editors' (setup tab), in words.
struct Row {
    const char *name;
    quint32 reg;
    int version;
    ConfigFields::Range range;
    const char *label; // the source text of its translation
    ConfigFields::Kind kind;
    const char *unit; // likewise; "" for none
};

constexpr int kMsStep = 10; // the editors of reaction and trip times hold tens of ms
constexpr ConfigFields::Range kFlag {0, 1, 1};
using K = ConfigFields::Kind;
const char kNoUnit[] = "";
// The units as the editors show them after their number.
const char kAmps[] = QT_TRANSLATE_NOOP("ConfigFields", "А");
const char kPercent[] = "%";
const char kSeconds[] = QT_TRANSLATE_NOOP("ConfigFields", " сек");
const char kMs[] = QT_TRANSLATE_NOOP("ConfigFields", " мсек");
const char kMinutes[] = QT_TRANSLATE_NOOP("ConfigFields", " мин");
const char kCelsius[] = QT_TRANSLATE_NOOP("ConfigFields", " °C");

const Row kRows[ConfigFields::Count] = {
    {"ratedCurrent", 5, 0, {}, QT_TRANSLATE_NOOP("ConfigFields", "Номинальный ток двигателя"), K::Amps, kAmps},
    {"minCurrent", 6, 0, {1, 60, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Минимально допустимый ток двигателя"), K::Number, kPercent},
    {"overloadMultiple", 7, 0, {2, 10, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог срабатывания защиты от перегрузки, кратность тока"), K::Number, kNoUnit},
    {"imbalanceThreshold", 8, 0, {1, 70, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог отключения по перекосу токов фаз"), K::Number, kPercent},
    {"doubleOverloadTime", 9, 0, {10, 200, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Время отключения при двухкратной перегрузке"), K::Number, kSeconds},
    {"switchOnDelay", 10, 0, {1, 255, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Задержка включения"), K::Number, kSeconds},
    {"autoRestart", 11, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Автоматическое повторное включение"), K::Flag, kNoUnit},
    {"phaseSequenceCheck", 12, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Проверка последовательности фаз питающей сети"), K::Flag, kNoUnit},
    {"fastProtection", 13, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение быстродействующей защиты"), K::Flag, kNoUnit},
    {"overloadReactionTime", 14, 0, {10, 9990, kMsStep},
     QT_TRANSLATE_NOOP("ConfigFields", "Время реакции защиты от перегрузки"), K::Tens, kMs},
    {"brokenPhasesAllowed", 15, 0, {0, 3, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Допустимое количество оборваных фаз"), K::Number, kNoUnit},
    {"ptcProtection", 16, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защит по термодатчику РТС"), K::Flag, kNoUnit},
    {"humidityProtection", 17, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защит по датчику влажности"), K::Flag, kNoUnit},
    {"pt100Protection", 18, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защиты по термодатчику РТ100"), K::Flag, kNoUnit},
    {"pt100Threshold", 19, 0, {10, 255, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог срабатывания защиты по термодатчику РТ100"), K::Number, kCelsius},
    {"voltageTolerance", 20, 0, {0, 3, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Допуск на напряжение питающих фаз"), K::Choice, kNoUnit},
    {"cyclicMode", 21, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение циклической работы по таймеру"), K::Flag, kNoUnit},
    {"cyclicWorkTime", 22, 0, {1, 5940, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Продолжительность работы в циклическом режиме"), K::Number, kMinutes},
    {"cyclicPauseTime", 23, 0, {1, 5940, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Продолжительность простоя в циклическом режиме"), K::Number, kMinutes},
    {"input1Function", 24, 0, {0, 4, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции входа 1"), K::Choice, kNoUnit},
    {"input2Function", 25, 0, {0, 5, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции входа 2"), K::Choice, kNoUnit},
    {"powerOutputFunction", 26, 0, {0, 2, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции силового выхода"), K::Choice, kNoUnit},
    {"auxOutputFunction", 27, 0, {0, 7, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции дополнительного выхода"), K::Choice, kNoUnit},
    {"switchDelay", 28, 0, {1, 30, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Задержка переключения"), K::Number, kSeconds},
    {"remoteControl", 29, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Разрешение дистанционного управления"), K::Flag, kNoUnit},
    {"imbalanceTripTime", RegisterMap::ConfigurationV50, PacketFactory::kModificationV50, {10, 2550, kMsStep},
     QT_TRANSLATE_NOOP("ConfigFields", "Время срабатывания защиты от перекоса токов"), K::Tens, kMs},
    {"minCurrentCorrection", RegisterMap::ConfigurationV70, PacketFactory::kModificationV70, {-20, 20, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Коэффициент коррекции минимально допустимого тока"), K::Tenths, kNoUnit},
    {"insulationThreshold", RegisterMap::ConfigurationV70 + 1, PacketFactory::kModificationV70, {0, 1, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор порога срабатывания защиты по сопротивлению изоляции"), K::Choice, kNoUnit},
};

} // namespace

QString ConfigFields::name(Id id)
{
    return QLatin1String(kRows[id].name);
}

int ConfigFields::find(const QString &name)
{
    for (int i = 0; i < Count; ++i)
        if (name == QLatin1String(kRows[i].name))
            return i;
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
    for (int i = 0; i < Count; ++i)
        if (present(Id(i), version))
            ids << Id(i);
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

QString ConfigFields::shown(Id id, int word, int currentScale, const QLocale &locale)
{
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator); // as the spin boxes write numbers
    switch (kind(id)) {
    case Kind::Flag:
        return word != 0 ? QCoreApplication::translate("ConfigFields", "включено")
                         : QCoreApplication::translate("ConfigFields", "выключено");
    case Kind::Choice: {
        ConfigChoices::Field field;
        const QString text = ConfigChoices::of(id, field) ? ConfigChoices::text(field, word) : QString();
        return text.isEmpty() ? l.toString(word) : text;
    }
    case Kind::Amps: {
        const double amps = currentScale == 0 ? 0.0 : double(word) / currentScale;
        return l.toString(amps, 'f', ampsDecimals(currentScale)) + unit(id);
    }
    case Kind::Tenths: return l.toString(qint16(word) / 10.0, 'f', 1);
    case Kind::Tens:
    case Kind::Number: break;
    }
    return l.toString(word) + unit(id);
}

ConfigFields::Range ConfigFields::range(Id id, const DeviceInfo &device)
{
    if (id != RatedCurrent)
        return kRows[id].range;
    // The editor holds amperes between the device's limits; its words are their counts.
    return {ConfigPacket::ampsToCounts(device.minRatedCurrent, device.currentScale),
            ConfigPacket::ampsToCounts(device.maxRatedCurrent, device.currentScale), 1};
}

int ConfigFields::value(const ConfigPacket &block, Id id)
{
    quint16 word = 0;
    PacketRegisters::read(block, registerOf(id), word);
    return id == MinCurrentCorrection ? int(qint16(word)) : int(word);
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
