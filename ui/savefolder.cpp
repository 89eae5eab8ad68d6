#include "ui/savefolder.h"

#include "storage/appsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString SaveFolder::defaultFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString SaveFolder::current()
{
    const QString last = AppSettings::instance().lastReportDir;
    const QFileInfo info(last);
    if (last.isEmpty() || !info.isDir() || info.canonicalFilePath() == QDir::current().canonicalPath())
        return defaultFolder();
    return info.absoluteFilePath();
}

void SaveFolder::remember(const QString &savedFile)
{
    AppSettings::instance().lastReportDir = QFileInfo(savedFile).absolutePath();
}

QString SaveFolder::proposal(const QString &name)
{
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    return current() + QLatin1Char('/') + QString(name).replace(forbidden, QStringLiteral("-"));
}

QString SaveFolder::name(const QStringList &words, const QDateTime &time)
{
    QStringList parts;
    for (const QString &w : words)
        if (!w.trimmed().isEmpty())
            parts << w.trimmed();
    parts << time.toString(QLatin1String(kDateFormat));
    return parts.join(QLatin1Char(' '));
}
