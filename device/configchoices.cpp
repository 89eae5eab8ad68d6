#include "configchoices.h"

namespace {

QStringList fromUtf8(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << QString::fromUtf8(item);
    return list;
}

} // namespace

QStringList ConfigChoices::texts(Field field)
{
    switch (field) {
    case VoltageTolerance:
        return fromUtf8({"Минус 15 + 10%", "Минус 20 + 15%", "Минус 25 + 20%", "Минус 30 + 25%"});
    case Input1Function:
        return fromUtf8({"Нет", "Внешняя авария 1", "Пуск(Двухпроводное управление)",
                         "Пуск(Трёхпроводное управление)", "Вращение вперёд"});
    case Input2Function:
        return fromUtf8({"Нет", "Внешняя авария 2", "Пуск(Двухпроводное управление)",
                         "Стоп(Трёхпроводное управление)", "Вращение назад", "Датчик влажности"});
    case PowerOutputFunction:
        return fromUtf8({"Стандартный", "Звезда", "Вращение вперёд"});
    case AuxOutputFunction:
        return fromUtf8({"Нет", "Сигнализация аварии", "Предупреждение о пуске",
                         "Предаварийная сигнализация", "Дистанционно упр. выход", "Треугольник",
                         "Вращение назад", "Управление расцепителем"});
    case InsulationThreshold:
        return fromUtf8({"0,55МОм", "1,1МОм"});
    }
    return QStringList();
}

QString ConfigChoices::text(Field field, int value)
{
    return texts(field).value(value);
}
