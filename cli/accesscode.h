#pragma once

#include <QCommandLineParser>
#include <QString>

#include <optional>

// Where a guarded command gets the device's access code. A command line is visible to
// every user of the machine, so the code may instead come from the environment or be
// typed on the terminal without echo.
class AccessCode
{
public:
    static constexpr const char *kEnvironmentVariable = "ORBIX_ACCESS_CODE";
    static constexpr const char *kAsk = "-"; // --access-code - : ask on the terminal
    static constexpr int kMaxDigits = 4;     // 0 to 9999, as the window's field

    static void addTo(QCommandLineParser &parser);
    // --access-code CODE, else $ORBIX_ACCESS_CODE, else a line read from standard input,
    // without echo on a terminal: when asked for with "-", or when askIfMissing and standard
    // input is a terminal. No code gives an empty result where none is needed; false with
    // error (how to give one) where it is, and for a code that is not 0 to 9999.
    static bool obtain(const QCommandLineParser &parser, bool askIfMissing, std::optional<quint16> &code,
                       QString &error);

private:
    static bool parse(const QString &text, quint16 &code);
    static QString ask();
};
