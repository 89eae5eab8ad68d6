#pragma once

#include <QStringList>

// orbix gateway --config FILE: every device of the configured lines to the plant's
// MQTT broker and Prometheus, until SIGTERM or SIGINT.
class GatewayCommand
{
public:
    static int run(const QStringList &arguments);
};
