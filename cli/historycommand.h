#pragma once

#include <QStringList>

// `orbix history devices|export|events|oscillograms`: what the history database holds,
// read without a device. The file is opened for reading only, so a running window or
// `orbix monitor --record` may go on writing it.
class HistoryCommand
{
public:
    static int run(const QStringList &arguments);
};
