#pragma once

#include <QString>
#include <QStringList>

// The program's command line: "--demo" and "--data-dir DIR".
struct LaunchOptions
{
    bool demo = false;
    QString dataDir; // absolute; empty when not given

    // Relative directories are taken from the directory the program was started in.
    static LaunchOptions parse(const QStringList &arguments);
};
