#pragma once

#include <QStringList>

// `orbix config get|set|diff`: a device's protection settings as named fields, a
// settings file written to it with a backup first and a read-back after, or the
// differences between a device and a file.
class ConfigCommand
{
public:
    // Exit status of diff when something differs.
    static constexpr int kDiffers = 3;

    static int run(const QStringList &arguments);
};
