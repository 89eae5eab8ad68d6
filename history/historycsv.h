#pragma once

#include "history/historysample.h"

#include <QByteArray>
#include <QStringList>

// Samples as comma-separated text, the same from the command line and the window:
// the header is a contract scripts rely on; times in ISO 8601 UTC with milliseconds,
// currents in amperes to the milliampere.
class HistoryCsv
{
public:
    static constexpr const char *kHeader =
        "time,port,address,current_a,current_b,current_c,voltage_a,voltage_b,voltage_c,pt100,heating,fault_code,"
        "motor_running,inputs,outputs"; // new columns go at the end: readers of the old ones keep working

    // The fields of one row, unquoted.
    static QStringList fields(const HistoryDevice &device, const HistorySample &sample);
    // One line with its newline; a port holding a comma or quote is quoted.
    static QByteArray row(const HistoryDevice &device, const HistorySample &sample);
    static QString isoTime(qint64 ms);
};
