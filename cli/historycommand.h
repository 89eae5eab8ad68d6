#pragma once

#include <QStringList>

// `orbix history devices|export|events|oscillograms`: what the history database holds,
// read without a device. The file is opened for reading only, so a running window or
// `orbix monitor --record` may go on writing it.
class HistoryCommand
{
public:
    static int run(const QStringList &arguments);
    // The CSV header of `history export`: a stable contract for scripts.
    static constexpr const char *kCsvHeader =
        "time,port,address,current_a,current_b,current_c,voltage_a,voltage_b,voltage_c,pt100,heating,fault_code,"
        "motor_running";
};
