#pragma once

#include "storage/appsettings.h"

#include <QLocale>
#include <QString>

// The interface's language. Every text is written in Russian in the code; English
// comes from the translation built into the program. Chosen once at start, before
// the first window: widgets take their texts when they are made. "orbix report"
// installs it too, for the report's texts.
class Translation
{
public:
    enum Language { Russian, English };

    // --lang wins, then the choice of the settings dialog (AppSettings::Language);
    // the system's language means Russian for a ru* locale name, English for any other.
    static Language choose(const QString &option, AppSettings::Language stored, const QString &localeName);
    // "ru" or "en" (any case); false for anything else.
    static bool fromCode(const QString &code, Language &language);
    static QString code(Language language);
    // Numbers in the editors: a decimal comma in Russian, a point in English.
    static QLocale locale(Language language);

    // Makes language the one of every text asked for from now on (it replaces the one
    // installed before). Russian needs no translation of ours, only Qt's own for its
    // dialogs where the system has it. False when English was asked for and its
    // translation could not be loaded: the texts then stay Russian.
    static bool install(Language language);
    // The language of the texts now: Russian until English is installed.
    static Language installed();
};
