#include "version/buildversion.h"

#include "buildinfo.h"

QString BuildVersion::text()
{
    const QString version = QStringLiteral(ORBIX_VERSION);
    const QString described = QStringLiteral(ORBIX_GIT_DESCRIPTION);
    return described.isEmpty() ? version : version + QStringLiteral(" (") + described + QLatin1Char(')');
}

QString BuildVersion::line(const QString &program)
{
    return program + QLatin1Char(' ') + text();
}
