#pragma once

// orbix's commands called in the test's own process, as the program calls them: the
// exit status and what they wrote on stdout and stderr (messages of the logging
// categories included, formatted as the program prints them). No process to start, so
// a case costs what the command costs.
#include "cli/orbixcommand.h"
#include "tests/programrun.h"
#ifdef ORBIX_WITH_REPORT
#include "i18n/translation.h"
#endif

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <stdio_ext.h>
#include <unistd.h>

namespace orbixhere {

inline void toStderr(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    std::fputs(qPrintable(qFormatLogMessage(type, context, message) + QLatin1Char('\n')), stderr);
}

inline QString readAll(std::FILE *file)
{
    QByteArray text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, int(n));
    std::fclose(file);
    return QString::fromUtf8(text);
}

} // namespace orbixhere

// env: variables for the call (a null value unsets one), restored after it; input: what
// stdin holds for it (never the terminal the tests were started from).
inline ProgramRun orbixHere(const QStringList &args, const QMap<QString, QString> &env = {},
                            const QByteArray &input = {})
{
    QMap<QByteArray, QByteArray> before; // null: was not set
    for (auto it = env.cbegin(); it != env.cend(); ++it) {
        const QByteArray name = it.key().toLocal8Bit();
        before.insert(name, qEnvironmentVariableIsSet(name.constData()) ? qgetenv(name.constData()) : QByteArray());
        if (it.value().isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), it.value().toLocal8Bit());
    }
    std::FILE *in = std::tmpfile();
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    ProgramRun r;
    if (!in || !out || !err)
        return r; // not finished: the caller's comparisons fail
    std::fwrite(input.constData(), 1, std::size_t(input.size()), in);
    std::rewind(in);
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved[3] = {dup(0), dup(1), dup(2)};
    dup2(fileno(in), 0);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    __fpurge(stdin);
    std::clearerr(stdout); // a failure of the call before is not this one's
    const QtMessageHandler testLog = qInstallMessageHandler(orbixhere::toStderr);
#ifdef ORBIX_WITH_REPORT
    const Translation::Language language = Translation::installed(); // a command may choose one
#endif

    r.code = OrbixCommand::run(QStringList {QStringLiteral("orbix")} + args);
    r.finished = true;

    qInstallMessageHandler(testLog);
#ifdef ORBIX_WITH_REPORT
    if (Translation::installed() != language)
        Translation::install(language);
#endif
    std::fflush(stdout);
    std::fflush(stderr);
    __fpurge(stdin);
    std::clearerr(stdin);
    for (int fd = 0; fd < 3; ++fd) {
        dup2(saved[fd], fd);
        close(saved[fd]);
    }
    std::fclose(in);
    r.out = orbixhere::readAll(out);
    r.err = orbixhere::readAll(err);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (it.value().isNull())
            qunsetenv(it.key().constData());
        else
            qputenv(it.key().constData(), it.value());
    }
    return r;
}
