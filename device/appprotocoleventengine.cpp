#include "device/appprotocoleventengine.h"

#include <QCoreApplication>

AppProtocolEventEngine::AppProtocolEventEngine(EngineCommand command)
    : AppProtocolEvent(EngineCommandSent), engineCommand(command)
{
}

QString AppProtocolEventEngine::text() const
{
    switch (engineCommand) {
    case EngineCommand::Stop:
        return QCoreApplication::translate("AppProtocolEventEngine", "Послана команда остановки двигателя");
    case EngineCommand::Forward:
        return QCoreApplication::translate("AppProtocolEventEngine", "Послана команда запуска двигателя вперёд");
    case EngineCommand::Backward:
        return QCoreApplication::translate("AppProtocolEventEngine", "Послана команда запуска двигателя назад");
    case EngineCommand::None:
        break;
    }
    return AppProtocolEvent::text();
}
