#include "appprotocoleventengine.h"

AppProtocolEventEngine::AppProtocolEventEngine(EngineCommand command)
    : AppProtocolEvent(EngineCommandSent), engineCommand(command)
{
}

QString AppProtocolEventEngine::text() const
{
    switch (engineCommand) {
    case EngineCommand::Stop:
        return QStringLiteral("Послана команда остановки двигателя");
    case EngineCommand::Forward:
        return QStringLiteral("Послана команда запуска двигателя вперёд");
    case EngineCommand::Backward:
        return QStringLiteral("Послана команда запуска двигателя назад");
    case EngineCommand::None:
        break;
    }
    return AppProtocolEvent::text();
}
