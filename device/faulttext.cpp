#include "device/faulttext.h"

#include <QCoreApplication>

namespace {

struct FaultEntry
{
    int code;
    const char *text; // UTF-8, the source text of its translation
};

// Fault codes as the device reports them. Codes 60 and 61 spell the sensor in
// Cyrillic, 62 to 65 in Latin letters, as the device documentation does.
const FaultEntry kFaults[] = {
    {10, QT_TRANSLATE_NOOP("FaultText", "Перекос токов фаз")},
    {20, QT_TRANSLATE_NOOP("FaultText", "Обрыв одной или двух фаз, холостой ход двигателя")},
    {30, QT_TRANSLATE_NOOP("FaultText", "Короткое замыкание (быстродействующая защита)")},
    {31, QT_TRANSLATE_NOOP("FaultText", "Перегрузка по току (среднебыстродействующая защита)")},
    {32, QT_TRANSLATE_NOOP("FaultText", "Тепловая перегрузка двигателя")},
    {40, QT_TRANSLATE_NOOP("FaultText", "Нарушение изоляции обмоток двигателя")},
    {50, QT_TRANSLATE_NOOP("FaultText", "Выход напряжения сети за установленные границы")},
    {51, QT_TRANSLATE_NOOP("FaultText", "Нарушение последовательности фаз")},
    {60, QT_TRANSLATE_NOOP("FaultText", "Обрыв термодатчика РТС")},
    {61, QT_TRANSLATE_NOOP("FaultText", "Замыкание термодатчика РТС")},
    {62, QT_TRANSLATE_NOOP("FaultText", "Перегрев двигателя (по термодатчику PTC)")},
    {63, QT_TRANSLATE_NOOP("FaultText", "Обрыв термодатчика PT100")},
    {64, QT_TRANSLATE_NOOP("FaultText", "Замыкание термодатчика PT100")},
    {65, QT_TRANSLATE_NOOP("FaultText", "Перегрев двигателя (по термодатчику PT100)")},
    {70, QT_TRANSLATE_NOOP("FaultText", "Обрыв датчика влажности")},
    {72, QT_TRANSLATE_NOOP("FaultText", "Попадание воды в картер насоса")},
    {81, QT_TRANSLATE_NOOP("FaultText", "Внешняя авария вход 1")},
    {82, QT_TRANSLATE_NOOP("FaultText", "Внешняя авария вход 2")},
};

} // namespace

QString faultText(int code)
{
    for (const FaultEntry &entry : kFaults) {
        if (entry.code == code)
            return QCoreApplication::translate("FaultText", entry.text);
    }
    return QString();
}
