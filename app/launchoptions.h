#pragma once

#include <QString>
#include <QStringList>

// The program's command line: "--demo" and "--data-dir DIR"; for the window tests
// on a display also "--probe-socket PATH", not shown to users.
struct LaunchOptions
{
    bool demo = false;
    QString dataDir; // absolute; empty when not given
    QString probeSocket; // absolute; empty when not given

    // Relative directories are taken from the directory the program was started in.
    static LaunchOptions parse(const QStringList &arguments);
};
