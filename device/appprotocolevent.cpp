#include "device/appprotocolevent.h"

#include <QCoreApplication>

AppProtocolEvent::AppProtocolEvent(int code)
    : ProtocolEvent(QDateTime::currentDateTime(), Application), entryCode(code)
{
}

QString AppProtocolEvent::text() const
{
    return textOf(entryCode);
}

QString AppProtocolEvent::textOf(int code)
{
    switch (code) {
    case Connected:
        return QCoreApplication::translate("AppProtocolEvent", "Подключение");
    case LinkLost:
        return QCoreApplication::translate("AppProtocolEvent", "Связь потеряна");
    case LinkRestored:
        return QCoreApplication::translate("AppProtocolEvent", "Связь восстановлена");
    case ConfigWritten:
        return QCoreApplication::translate("AppProtocolEvent", "Настройки записаны");
    default:
        return QString();
    }
}
