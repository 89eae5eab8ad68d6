// orbix-gateway: every device of a plant's lines to its MQTT broker and Prometheus, as
// a service on a box without a display (no GUI library is linked).
#include "cli/commandline.h"
#include "gateway/gatewaycommand.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbix-gateway"));
    return CommandLine::run(QStringLiteral("orbix-gateway"), GatewayCommand::run, QCoreApplication::arguments());
}
