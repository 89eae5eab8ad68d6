#include "appprotocoleventengine.h"

AppProtocolEventEngine::AppProtocolEventEngine(int command)
    : AppProtocolEvent(EngineCommand), engineCommand(command)
{
}

QString AppProtocolEventEngine::text() const
{
    switch (engineCommand) {
    case Stop:
        return QStringLiteral("Послана команда остановки двигателя");
    case Forward:
        return QStringLiteral("Послана команда запуска двигателя вперёд");
    case Backward:
        return QStringLiteral("Послана команда запуска двигателя назад");
    default:
        return AppProtocolEvent::text();
    }
}
