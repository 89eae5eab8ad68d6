#include "configfields.h"

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
};

constexpr int kMsStep = 10; // the editors of reaction and trip times hold tens of ms
constexpr ConfigFields::Range kFlag {0, 1, 1};

const Row kRows[ConfigFields::Count] = {
    {"ratedCurrent", 5, 0, {}, QT_TRANSLATE_NOOP("ConfigFields", "Номинальный ток двигателя")},
    {"minCurrent", 6, 0, {1, 60, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Минимально допустимый ток двигателя")},
    {"overloadMultiple", 7, 0, {2, 10, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог срабатывания защиты от перегрузки, кратность тока")},
    {"imbalanceThreshold", 8, 0, {1, 70, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог отключения по перекосу токов фаз")},
    {"doubleOverloadTime", 9, 0, {10, 200, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Время отключения при двухкратной перегрузке")},
    {"switchOnDelay", 10, 0, {1, 255, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Задержка включения")},
    {"autoRestart", 11, 0, kFlag, QT_TRANSLATE_NOOP("ConfigFields", "Автоматическое повторное включение")},
    {"phaseSequenceCheck", 12, 0, kFlag,
     QT_TRANSLATE_NOOP("ConfigFields", "Проверка последовательности фаз питающей сети")},
    {"fastProtection", 13, 0, kFlag, QT_TRANSLATE_NOOP("ConfigFields", "Разрешение быстродействующей защиты")},
    {"overloadReactionTime", 14, 0, {10, 9990, kMsStep},
     QT_TRANSLATE_NOOP("ConfigFields", "Время реакции защиты от перегрузки")},
    {"brokenPhasesAllowed", 15, 0, {0, 3, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Допустимое количество оборваных фаз")},
    {"ptcProtection", 16, 0, kFlag, QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защит по термодатчику РТС")},
    {"humidityProtection", 17, 0, kFlag, QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защит по датчику влажности")},
    {"pt100Protection", 18, 0, kFlag, QT_TRANSLATE_NOOP("ConfigFields", "Разрешение защиты по термодатчику РТ100")},
    {"pt100Threshold", 19, 0, {10, 255, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Порог срабатывания защиты по термодатчику РТ100")},
    {"voltageTolerance", 20, 0, {0, 3, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Допуск на напряжение питающих фаз")},
    {"cyclicMode", 21, 0, kFlag, QT_TRANSLATE_NOOP("ConfigFields", "Разрешение циклической работы по таймеру")},
    {"cyclicWorkTime", 22, 0, {1, 5940, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Продолжительность работы в циклическом режиме")},
    {"cyclicPauseTime", 23, 0, {1, 5940, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Продолжительность простоя в циклическом режиме")},
    {"input1Function", 24, 0, {0, 4, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции входа 1")},
    {"input2Function", 25, 0, {0, 5, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции входа 2")},
    {"powerOutputFunction", 26, 0, {0, 2, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции силового выхода")},
    {"auxOutputFunction", 27, 0, {0, 7, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Выбор функции дополнительного выхода")},
    {"switchDelay", 28, 0, {1, 30, 1}, QT_TRANSLATE_NOOP("ConfigFields", "Задержка переключения")},
    {"remoteControl", 29, 0, kFlag, QT_TRANSLATE_NOOP("ConfigFields", "Разрешение дистанционного управления")},
    {"imbalanceTripTime", RegisterMap::ConfigurationV50, PacketFactory::kModificationV50, {10, 2550, kMsStep},
     QT_TRANSLATE_NOOP("ConfigFields", "Время срабатывания защиты от перекоса токов")},
    {"minCurrentCorrection", RegisterMap::ConfigurationV70, PacketFactory::kModificationV70, {-20, 20, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Коэффициент коррекции минимально допустимого тока")},
    {"insulationThreshold", RegisterMap::ConfigurationV70 + 1, PacketFactory::kModificationV70, {0, 1, 1},
     QT_TRANSLATE_NOOP("ConfigFields", "Выбор порога срабатывания защиты по сопротивлению изоляции")},
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
