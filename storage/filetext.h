#pragma once

#include <QString>

// A failure text of the program's files, written in Russian for the window with its
// English beside it. The window shows the Russian through its translation (English
// when the English translation is installed); the command line, which speaks English
// and installs no translation of ours, asks for the English once at start. The
// English is also the text's disambiguation: QT_TRANSLATE_NOOP3(context, russian,
// english) builds one and lupdate keeps the English beside the entry.
struct FileText
{
    const char *russian;
    const char *english;

    // The text for this program: the English when asked for, else the translation.
    QString text(const char *context) const;

    static void useEnglish(bool english);
    static bool isEnglish();
};
