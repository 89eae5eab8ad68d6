#include "configchoices.h"

#include <QCoreApplication>

namespace {

QStringList translated(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << QCoreApplication::translate("ConfigChoices", item);
    return list;
}

} // namespace

bool ConfigChoices::of(ConfigFields::Id id, Field &field)
{
    using F = ConfigFields;
    switch (id) {
    case F::VoltageTolerance: field = VoltageTolerance; return true;
    case F::Input1Function: field = Input1Function; return true;
    case F::Input2Function: field = Input2Function; return true;
    case F::PowerOutputFunction: field = PowerOutputFunction; return true;
    case F::AuxOutputFunction: field = AuxOutputFunction; return true;
    case F::InsulationThreshold: field = InsulationThreshold; return true;
    default: return false;
    }
}

QStringList ConfigChoices::texts(Field field)
{
    switch (field) {
    case VoltageTolerance:
        return translated({QT_TRANSLATE_NOOP("ConfigChoices", "Минус 15 + 10%"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Минус 20 + 15%"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Минус 25 + 20%"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Минус 30 + 25%")});
    case Input1Function:
        return translated({QT_TRANSLATE_NOOP("ConfigChoices", "Нет"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Внешняя авария 1"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Пуск(Двухпроводное управление)"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Пуск(Трёхпроводное управление)"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Вращение вперёд")});
    case Input2Function:
        return translated({QT_TRANSLATE_NOOP("ConfigChoices", "Нет"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Внешняя авария 2"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Пуск(Двухпроводное управление)"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Стоп(Трёхпроводное управление)"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Вращение назад"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Датчик влажности")});
    case PowerOutputFunction:
        return translated({QT_TRANSLATE_NOOP("ConfigChoices", "Стандартный"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Звезда"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Вращение вперёд")});
    case AuxOutputFunction:
        return translated({QT_TRANSLATE_NOOP("ConfigChoices", "Нет"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Сигнализация аварии"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Предупреждение о пуске"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Предаварийная сигнализация"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Дистанционно упр. выход"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Треугольник"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Вращение назад"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "Управление расцепителем")});
    case InsulationThreshold:
        return translated({QT_TRANSLATE_NOOP("ConfigChoices", "0,55МОм"),
                           QT_TRANSLATE_NOOP("ConfigChoices", "1,1МОм")});
    }
    return QStringList();
}

QString ConfigChoices::text(Field field, int value)
{
    return texts(field).value(value);
}
