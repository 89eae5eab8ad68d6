#pragma once

#include <QStringList>

// `orbix gateway` is orbix-gateway, a program (and a package) of its own so that a box
// without a display runs it without the window's libraries. orbix hands it the command
// line by exec: the options, messages and exit status are the gateway's own, and so is
// the process (a service's stop signal reaches the gateway itself).
class GatewayAlias
{
public:
    // arguments: "orbix", then the gateway's options. Returns only when orbix-gateway
    // cannot be run: the failure status, with the reason.
    static int run(const QStringList &arguments);
};
