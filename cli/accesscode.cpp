#include "cli/accesscode.h"

#include "cli/terminal.h"

#include <QRegularExpression>

#include <cstdio>

void AccessCode::addTo(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("access-code"),
                      QStringLiteral("Access code written to register 32 before each guarded write; \"-\" asks for it\n"
                                     "on the terminal. Without the option: $ORBIX_ACCESS_CODE."),
                      QStringLiteral("CODE")});
}

bool AccessCode::parse(const QString &text, quint16 &code)
{
    // The codes the window's field takes: up to four decimal digits, nothing else that
    // a 16-bit word would silently keep (a sign, a fifth digit, hexadecimal).
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,%1}$").arg(kMaxDigits));
    const QString trimmed = text.trimmed();
    if (!digits.match(trimmed).hasMatch())
        return false;
    code = quint16(trimmed.toUInt());
    return true;
}

QString AccessCode::ask()
{
    std::fputs("Access code: ", stderr);
    std::fflush(stderr);
    return Terminal::readLineQuietly();
}

bool AccessCode::obtain(const QCommandLineParser &parser, bool askIfMissing, std::optional<quint16> &code,
                        QString &error)
{
    QString text = parser.value(QStringLiteral("access-code"));
    if (!parser.isSet(QStringLiteral("access-code")))
        text = qEnvironmentVariable(kEnvironmentVariable);
    // Asked for, the code may come down a pipe; missing, it is asked for only of someone
    // at a terminal: a script would otherwise hand its input over as the code, or wait.
    const bool asked = text == QLatin1String(kAsk);
    if (asked || (text.isEmpty() && askIfMissing && Terminal::isTerminal(Terminal::Stream::Input)))
        text = ask();
    code.reset();
    if (text.isEmpty()) {
        if (!askIfMissing && !asked)
            return true; // an unguarded command
        error = QStringLiteral("no access code given: --access-code CODE, --access-code - to type it, or $%1")
                    .arg(QLatin1String(kEnvironmentVariable));
        return false;
    }
    quint16 value = 0;
    if (!parse(text, value)) {
        error = QStringLiteral("bad access code (0-9999)");
        return false;
    }
    code = value;
    return true;
}
