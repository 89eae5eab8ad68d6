#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Where the save dialogs of the report and of the exports start: the folder the user
// saved in last, or the user's documents folder (the home folder when there is none)
// until then. The working directory is the program's own and never counts as a
// choice: settings written by earlier versions hold it as the report folder.
class SaveFolder
{
public:
    static constexpr const char *kDateFormat = "dd.MM.yyyy hh-mm";

    static QString current();
    // The documents folder, or home when the system has no such folder.
    static QString defaultFolder();
    // The folder of a file just saved becomes the next dialogs' start.
    static void remember(const QString &savedFile);
    // name in the current folder, with the characters no file system takes replaced.
    static QString proposal(const QString &name);
    // "Осциллограмма 5 Перегрузка 08.12.2026 19-11": the words that are not empty,
    // then the time as files of this program are dated.
    static QString name(const QStringList &words, const QDateTime &time);
};
