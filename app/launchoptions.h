#pragma once

#include <QString>
#include <QStringList>

// The program's command line: "--demo", "--data-dir DIR", "--lang LANG", "--help" and
// "--version"; for the window tests on a display also "--probe-socket PATH", not shown
// to users.
struct LaunchOptions
{
    bool demo = false;
    bool help = false;
    bool version = false;
    QString dataDir; // absolute; empty when not given
    QString probeSocket; // absolute; empty when not given
    bool languageGiven = false;
    QString language; // as given ("ru", "en"; the program refuses others, an empty one too)

    // Relative directories are taken from the directory the program was started in.
    // Needs no application object: --help and --version are answered before the
    // toolkit starts, so they work without a display.
    static LaunchOptions parse(const QStringList &arguments);
    // What --help prints.
    static QString usage();
};
