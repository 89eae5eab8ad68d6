#include "appprotocolevent.h"

AppProtocolEvent::AppProtocolEvent(int code)
    : ProtocolEvent(QDateTime::currentDateTime(), Application), entryCode(code)
{
}

QString AppProtocolEvent::text() const
{
    switch (entryCode) {
    case Connected:
        return QStringLiteral("Подключение");
    case LinkLost:
        return QStringLiteral("Связь потеряна");
    case LinkRestored:
        return QStringLiteral("Связь восстановлена");
    case ConfigWritten:
        return QStringLiteral("Настройки записаны");
    default:
        return QString();
    }
}
