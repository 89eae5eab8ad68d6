#pragma once

#include <QStringList>

// orbix-gateway --config FILE: every device of the configured lines to the plant's
// MQTT broker and Prometheus, until SIGTERM or SIGINT. arguments are the command line
// as the program gets it; the result is its exit status (cli/cliexit.h).
class GatewayCommand
{
public:
    static int run(const QStringList &arguments);
};
