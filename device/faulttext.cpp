#include "faulttext.h"

namespace {

struct FaultEntry
{
    int code;
    const char *text; // UTF-8
};

// Fault codes as the device reports them. Codes 60 and 61 spell the sensor in
// Cyrillic, 62 to 65 in Latin letters, as the device documentation does.
const FaultEntry kFaults[] = {
    {10, "Перекос токов фаз"},
    {20, "Обрыв одной или двух фаз, холостой ход двигателя"},
    {30, "Короткое замыкание (быстродействующая защита)"},
    {31, "Перегрузка по току (среднебыстродействующая защита)"},
    {32, "Тепловая перегрузка двигателя"},
    {40, "Нарушение изоляции обмоток двигателя"},
    {50, "Выход напряжения сети за установленные границы"},
    {51, "Нарушение последовательности фаз"},
    {60, "Обрыв термодатчика РТС"},
    {61, "Замыкание термодатчика РТС"},
    {62, "Перегрев двигателя (по термодатчику PTC)"},
    {63, "Обрыв термодатчика PT100"},
    {64, "Замыкание термодатчика PT100"},
    {65, "Перегрев двигателя (по термодатчику PT100)"},
    {70, "Обрыв датчика влажности"},
    {72, "Попадание воды в картер насоса"},
    {81, "Внешняя авария вход 1"},
    {82, "Внешняя авария вход 2"},
};

} // namespace

QString faultText(int code)
{
    for (const FaultEntry &entry : kFaults) {
        if (entry.code == code)
            return QString::fromUtf8(entry.text);
    }
    return QString();
}
